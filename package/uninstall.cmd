@echo off
rem Removes VORTALIS (@BITS@-bit package): its counter texts (unlodctr), its
rem registry keys and VORTALIS.dll. Run it as an administrator.
setlocal
cd /d "%~dp0"
rem A 32-bit cmd.exe on 64-bit Windows reaches the 64-bit system directory as Sysnative.
set SYSDIR=%SystemRoot%\System32
if not "@BITS@"=="64" goto remove
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set SYSDIR=%SystemRoot%\Sysnative
:remove

echo Unloading the counter texts (unlodctr VORTALIS)
unlodctr VORTALIS
echo Removing the registry keys
reg delete "HKLM\System\CurrentControlSet\Services\VORTALIS" /f >nul 2>&1
reg delete "HKLM\System\CurrentControlSet\Services\EventLog\Application\VORTALIS" /f >nul 2>&1
echo Removing %SYSDIR%\VORTALIS.dll
if exist "%SYSDIR%\VORTALIS.dll" del "%SYSDIR%\VORTALIS.dll" >nul 2>&1
if exist "%SYSDIR%\VORTALIS.dll" echo VORTALIS.dll is in use: delete it once the processes that read performance data have ended.
echo VORTALIS is removed.
exit /b 0
