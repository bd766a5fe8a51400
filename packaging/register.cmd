@echo off
rem Registers quorlin.dll for the hosts of each bitness on this machine: the
rem 64-bit DLL for 64-bit processes (an application pool with "Enable 32-Bit
rem Applications" off, the 64-bit cscript), the 32-bit DLL for 32-bit ones.
rem Both may be registered side by side. Run it from an elevated prompt
rem ("Run as administrator"), from any folder: the DLLs stay where they are,
rem so unpack the archive where they are to live first.
rem Exit code: 0 when every step succeeded, otherwise the number of failures
rem (5 when the prompt is not elevated). unregister.cmd runs it with /u.
setlocal
set "ACTION=register"
set "SWITCH="
set "DONE=registered"
if /i not "%~1"=="/u" goto start
set "ACTION=unregister"
set "SWITCH=/u"
set "DONE=unregistered"

:start
set "HERE=%~dp0"
set "FAILED=0"
rem Registration writes below HKEY_LOCAL_MACHINE: find out first whether this prompt may.
reg add "HKLM\SOFTWARE\Classes\quorlin.rights-check" /f >nul 2>&1
if errorlevel 1 goto notElevated
reg delete "HKLM\SOFTWARE\Classes\quorlin.rights-check" /f >nul 2>&1

if not exist "%SystemRoot%\SysWOW64\regsvr32.exe" goto only32
rem A 64-bit Windows: System32 holds the 64-bit regsvr32, SysWOW64 the 32-bit
rem one; a 32-bit prompt sees the 64-bit folder as Sysnative.
set "NATIVE=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "NATIVE=%SystemRoot%\Sysnative"
call :one x64 64-bit "%NATIVE%\regsvr32.exe"
call :one x86 32-bit "%SystemRoot%\SysWOW64\regsvr32.exe"
goto finish

:only32
echo %ACTION%.cmd: a 32-bit Windows: only the 32-bit DLL applies.
call :one x86 32-bit "%SystemRoot%\System32\regsvr32.exe"

:finish
if "%FAILED%"=="0" echo %ACTION%.cmd: done.
if not "%FAILED%"=="0" echo %ACTION%.cmd: %FAILED% of the steps failed, see above.
exit /b %FAILED%

:notElevated
echo %ACTION%.cmd: this prompt may not write to HKEY_LOCAL_MACHINE, where COM components are registered.
echo %ACTION%.cmd: open a prompt with "Run as administrator" and run %ACTION%.cmd again. Nothing was changed.
exit /b 5

rem One DLL: :one FOLDER BITNESS REGSVR32
:one
if not exist "%HERE%%1\quorlin.dll" goto missing
"%~3" /s %SWITCH% "%HERE%%1\quorlin.dll"
set "CODE=%errorlevel%"
if "%CODE%"=="0" echo %ACTION%.cmd: %DONE% %HERE%%1\quorlin.dll for %2 hosts, with %~3
if "%CODE%"=="0" goto :eof
echo %ACTION%.cmd: could not %ACTION% %HERE%%1\quorlin.dll for %2 hosts: %~3 ended with code %CODE%.
echo %ACTION%.cmd: code 3 means the DLL could not be loaded (a damaged file, or the wrong folder for %2), 4 or 5 that it could not %ACTION% itself.
set /a FAILED+=1
goto :eof

:missing
echo %ACTION%.cmd: %HERE%%1\quorlin.dll is missing: unpack the whole archive and run this from its folder.
set /a FAILED+=1
goto :eof
