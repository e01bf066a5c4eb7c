@echo off
rem Removes VORTALIS (@BITS@-bit package): its counter texts (unlodctr), its
rem registry keys and VORTALIS.dll. Run it as an administrator. Each step that
rem fails says so, and the script then ends with status 1; run it again once
rem the cause is gone. What is gone already is skipped.
setlocal
set SERVICE=HKLM\System\CurrentControlSet\Services\VORTALIS
set SOURCE=HKLM\System\CurrentControlSet\Services\EventLog\Application\VORTALIS
set FAILED=

if "@BITS@"=="32" goto check32
rem A 32-bit cmd.exe on 64-bit Windows reaches the 64-bit system directory as Sysnative.
set SYSDIR=%SystemRoot%\System32
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set SYSDIR=%SystemRoot%\Sysnative
goto remove
:check32
rem The 32-bit package is installed only on 32-bit Windows.
set SYSDIR=%SystemRoot%\System32
if defined PROCESSOR_ARCHITEW6432 goto wrong
if /i "%PROCESSOR_ARCHITECTURE%"=="x86" goto remove
:wrong
echo This is the @BITS@-bit package of VORTALIS: this Windows needs the other one.
exit /b 1

:remove
reg query "%SERVICE%\Performance" /v "First Counter" >nul 2>&1
if errorlevel 1 goto keys
echo Unloading the counter texts (unlodctr VORTALIS)
unlodctr VORTALIS
if errorlevel 1 (
    echo The counter texts could not be unloaded.
    set FAILED=1
)
:keys
echo Removing the registry keys
call :deletekey "%SERVICE%"
call :deletekey "%SOURCE%"
echo Removing %SYSDIR%\VORTALIS.dll
if exist "%SYSDIR%\VORTALIS.dll" del "%SYSDIR%\VORTALIS.dll" >nul 2>&1
if exist "%SYSDIR%\VORTALIS.dll" (
    echo VORTALIS.dll cannot be deleted: it is in use, or this is not an administrator.
    echo Delete it once the processes that read performance data have ended.
    set FAILED=1
)
if defined FAILED (
    echo VORTALIS is not removed completely: see the steps above.
    exit /b 1
)
echo VORTALIS is removed.
exit /b 0

:deletekey
reg query %1 >nul 2>&1
if errorlevel 1 exit /b 0
reg delete %1 /f >nul 2>&1
if errorlevel 1 (
    echo %~1 cannot be deleted.
    set FAILED=1
)
exit /b 0
