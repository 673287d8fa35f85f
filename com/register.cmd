@echo off
rem Registers the Nodrel COM server, from an elevated prompt: x64\nodrel.dll
rem with the 64-bit regsvr32 and x86\nodrel.dll with the 32-bit one, so that
rem 64-bit and 32-bit clients both find Nodrel.Matr. unregister.cmd calls this
rem with /u to remove both.
setlocal
set "undo=%~1"
rem A 32-bit prompt on 64-bit Windows sees SysWOW64 as System32: Sysnative
rem is the 64-bit folder then.
set "native=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "native=%SystemRoot%\Sysnative"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" (
  "%native%\regsvr32.exe" /s %undo% "%~dp0x64\nodrel.dll" || goto failed
  "%SystemRoot%\SysWOW64\regsvr32.exe" /s %undo% "%~dp0x86\nodrel.dll" || goto failed
) else (
  rem 32-bit Windows: only the 32-bit server runs.
  "%native%\regsvr32.exe" /s %undo% "%~dp0x86\nodrel.dll" || goto failed
)
echo Done.
exit /b 0
:failed
echo regsvr32 failed: run this from an elevated prompt. 1>&2
exit /b 1
