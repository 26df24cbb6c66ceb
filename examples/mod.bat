@echo off
rem A whole mod in two commands, in a Command Prompt opened in the folder of the archive:
rem
rem   mod.bat unpack scripts.prd   every member of scripts.prd into the folder mod, and beside
rem                                each script its text (.qbs) and table file; a copy of the
rem                                archive as it was is kept as scripts.prd.orig
rem   mod.bat build scripts.prd    the texts edited in mod compiled back into scripts.prd, with
rem                                what changed since scripts.prd.orig shown as a diff
rem
rem qbkit.exe must be in this folder or on the PATH. Edit the .qbs files with an editor that
rem keeps one byte per character (Notepad: save as ANSI).
setlocal
if "%~2"=="" goto usage
if /i "%~1"=="unpack" goto unpack
if /i "%~1"=="build" goto build

:usage
echo Usage: %~nx0 unpack ARCHIVE, then edit the texts in the folder mod, then %~nx0 build ARCHIVE
exit /b 1

:unpack
if exist mod (
  echo The folder mod exists already: build it, or move it away to unpack again.
  exit /b 1
)
copy /y "%~2" "%~2.orig" > nul
if errorlevel 1 exit /b 2
qbkit -p unpack "%~2" mod -q
exit /b %errorlevel%

:build
qbkit -p build mod "%~2"
if errorlevel 1 exit /b %errorlevel%
if exist "%~2.orig" qbkit -p diff "%~2.orig" "%~2"
exit /b 0
