@ECHO OFF
REM startora.bat - starts the local Oracle Database XE service and its listener
REM for the Quarndel lending library demo. Run it as Administrator.
CD /D "%~dp0"
CALL ..\config\SET_ENV STARTORA
SC QUERY OracleOraDB21Home1TNSListener | FIND "RUNNING" >NUL
IF ERRORLEVEL 1 (
  ECHO Starting the Oracle listener...
  NET START OracleOraDB21Home1TNSListener
) ELSE (
  ECHO The Oracle listener is already running.
)
SC QUERY OracleServiceXE | FIND "RUNNING" >NUL
IF NOT ERRORLEVEL 1 (
  ECHO The database service OracleServiceXE is already running.
  GOTO end
)
ECHO Starting the database service OracleServiceXE...
NET START OracleServiceXE
IF ERRORLEVEL 1 GOTO failed
ECHO The database is starting; XEPDB1 accepts connections once it is open.
GOTO end
:failed
ECHO OracleServiceXE could not be started. Run this as Administrator and check
ECHO that Oracle Database XE is installed on this computer.
EXIT /B 1
:end
