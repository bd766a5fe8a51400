@echo off
rem Removes the registration of both quorlin.dll builds (what register.cmd
rem wrote); run it from an elevated prompt before replacing or deleting them.
call "%~dp0register.cmd" /u
exit /b %errorlevel%
