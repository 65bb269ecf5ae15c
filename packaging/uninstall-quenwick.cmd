@echo off
rem Removes Quenwick silently for the user who runs it, from whatever folder it was installed in,
rem and ends with an exit code that deployment tools can trust: 0 when Quenwick is gone (files of
rem the user's own in its folder stay) or was never installed, otherwise the uninstaller's own code,
rem such as 1618 while quenwick.exe runs, and 2 when the install has lost its uninstaller.
setlocal
set "key=HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenwick"
set "folder="
for /f "tokens=1,2,*" %%a in ('reg query "%key%" /v InstallLocation 2^>nul') do (
  if /i "%%a"=="InstallLocation" set "folder=%%c"
)
if not defined folder exit /b 0
if not exist "%folder%\uninstall.exe" exit /b 2
rem With _?= (last, unquoted) the uninstaller works in place, so its exit code is the real one;
rem it cannot delete itself then, so that is done here.
start "" /wait "%folder%\uninstall.exe" /S _?=%folder%
if errorlevel 1 exit /b %errorlevel%
del /f /q "%folder%\uninstall.exe" >nul 2>&1
rem The folder stays when the user has kept files of their own in it.
rmdir "%folder%" >nul 2>&1
exit /b 0
