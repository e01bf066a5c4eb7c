@echo off
rem Installs VORTALIS, the queue manager channel counters (@BITS@-bit package).
rem Run it as an administrator:   install.cmd [QUEUE_MANAGER]
rem It copies VORTALIS.dll into the system directory, runs keyplant.exe, loads
rem the counter texts with lodctr and, given a name, runs hubnamer.exe NAME.
setlocal
rem pushd reaches a package on a network share too (it maps a drive for it).
pushd "%~dp0"
if errorlevel 1 goto nodir

if "@BITS@"=="32" goto check32
rem The 64-bit package needs 64-bit Windows; a 32-bit cmd.exe there reaches
rem the 64-bit system directory as Sysnative.
set SYSDIR=%SystemRoot%\System32
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" goto install
set SYSDIR=%SystemRoot%\Sysnative
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" goto install
goto wrong
:check32
set SYSDIR=%SystemRoot%\System32
if defined PROCESSOR_ARCHITEW6432 goto wrong
if /i "%PROCESSOR_ARCHITECTURE%"=="x86" goto install
:wrong
echo This is the @BITS@-bit package of VORTALIS: this Windows needs the other one.
exit /b 1

:install
echo Copying VORTALIS.dll to %SYSDIR%
copy /y VORTALIS.dll "%SYSDIR%\VORTALIS.dll" >nul
if errorlevel 1 goto failed
echo Registering with keyplant.exe
keyplant.exe
if errorlevel 1 goto failed
echo Loading the counter texts (lodctr vortalis_ctr.ini)
unlodctr VORTALIS >nul 2>&1
lodctr vortalis_ctr.ini
if errorlevel 1 goto failed
if "%~1"=="" goto done
echo Choosing the queue manager (hubnamer.exe %1)
hubnamer.exe "%~1"
if errorlevel 1 goto unnamed
:done
echo VORTALIS is installed.
exit /b 0
:unnamed
echo VORTALIS is installed, but the queue manager was not chosen: the step above failed.
echo Until "hubnamer.exe NAME" succeeds, VORTALIS reports on the default queue manager.
exit /b 1
:failed
echo The installation stopped: the step above failed. What the steps before it did stays:
echo remove the cause and run install.cmd again, or run uninstall.cmd to take it away.
exit /b 1
:nodir
echo The installation stopped: the package's directory %~dp0 cannot be reached.
exit /b 1
