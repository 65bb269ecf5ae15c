@echo off
rem Removes Quenwick silently for the user who runs it, from whatever folder it was installed in,
rem with every folder of an install that was cut off, and ends with an exit code that deployment
rem tools can trust: 0 when Quenwick is gone (files of the user's own in its folder stay) or was
rem never installed, 1618 while quenwick.exe runs, 1603 when its program could not be deleted.
rem The setup program beside this script does the work, as cmd cannot read every path reliably,
rem given any arguments that this is given, such as /Log=<file>.
setlocal DisableDelayedExpansion
rem Started by a quoted relative name, cmd resolves %~dp0 against the current folder of the moment,
rem so this script's own folder is read before that changes.
set "here=%~dp0"
rem The folder that this was started in may be the one being removed, which Windows does not
rem allow while it is cmd's current folder.
cd /d "%SystemRoot%"
start "" /wait "%here%Quenwick-@PROJECT_VERSION@-setup.exe" /S /Uninstall %*
exit /b %errorlevel%
