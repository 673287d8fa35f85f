@echo off
rem Unregisters both Nodrel COM servers (see register.cmd), from an elevated
rem prompt.
call "%~dp0register.cmd" /u
