-- compile_packages.sql
-- Compiles the Quarndel schema, reports anything left invalid and checks
-- that the connection user can reach the application through its role.
-- Arguments: 1 database service, 2 connect identifier, 3 schema owner,
--            4 owner password, 5 application folder, 6 connection user,
--            7 connection password
SET VERIFY OFF
SET SERVEROUTPUT ON
WHENEVER SQLERROR EXIT FAILURE ROLLBACK
CONNECT &3/"&4"@&2

PROMPT Compiling schema &3 (application folder &5)
ALTER PACKAGE lending_api COMPILE PACKAGE;
ALTER PACKAGE lending_api COMPILE BODY;
ALTER TRIGGER loans_bi COMPILE;
EXECUTE DBMS_UTILITY.compile_schema(schema => USER, compile_all => FALSE)

DECLARE
  l_invalid PLS_INTEGER := 0;
BEGIN
  FOR r IN (SELECT object_type, object_name FROM user_objects
             WHERE status <> 'VALID' ORDER BY object_type, object_name) LOOP
    DBMS_OUTPUT.put_line('Invalid: ' || r.object_type || ' ' || r.object_name);
    l_invalid := l_invalid + 1;
  END LOOP;
  IF l_invalid > 0 THEN
    RAISE_APPLICATION_ERROR(-20010, l_invalid || ' object(s) failed to compile');
  END IF;
  DBMS_OUTPUT.put_line('All objects in ' || USER || ' are valid.');
END;
/
SHOW ERRORS

PROMPT Checking the connection user &6
CONNECT &6/"&7"@&2
SELECT &3..lending_api.copies_available(101) AS copies_available FROM dual;
PROMPT Packages compiled.
