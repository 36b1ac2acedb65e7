-- lock_schema.sql
-- Locks the Quarndel schema owner once the installation is complete, so
-- that only the connection user can log on to the application.
-- Arguments: 1 database service, 2 connect identifier, 3 schema owner,
--            4 SYS password
SET VERIFY OFF
WHENEVER SQLERROR EXIT FAILURE ROLLBACK
CONNECT SYS/"&4"@&2 AS SYSDBA

PROMPT Locking schema owner &3 in service &1
ALTER USER &3 ACCOUNT LOCK;
SELECT username, account_status FROM dba_users WHERE username = UPPER('&3');
PROMPT Schema &3 is locked; use the connection user to log on.
