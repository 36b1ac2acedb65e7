-- install_schema.sql
-- Creates the Quarndel lending library schema in the pluggable database:
-- the schema owner, a role and a connection user with restricted
-- privileges, a directory object for the data folder, the tables,
-- a sequence, a trigger and the LENDING_API package.
-- Run as SYS AS SYSDBA, connected to the pluggable database.
-- Arguments: 1 database service, 2 connect identifier, 3 schema owner,
--            4 owner password, 5 connection user, 6 connection password,
--            7 application folder, 8 data folder
SET VERIFY OFF
SET FEEDBACK ON
WHENEVER SQLERROR EXIT FAILURE ROLLBACK

PROMPT Creating schema owner &3 in service &1 (application folder &7)
CREATE USER &3 IDENTIFIED BY "&4"
  DEFAULT TABLESPACE users
  TEMPORARY TABLESPACE temp
  QUOTA 100M ON users;
GRANT CREATE SESSION, CREATE TABLE, CREATE VIEW, CREATE SEQUENCE,
      CREATE PROCEDURE, CREATE TRIGGER TO &3;

PROMPT Creating role &3._APP_USER and connection user &5
CREATE ROLE &3._app_user;
CREATE USER &5 IDENTIFIED BY "&6"
  DEFAULT TABLESPACE users
  TEMPORARY TABLESPACE temp;
GRANT CREATE SESSION TO &5;
GRANT &3._app_user TO &5;

PROMPT Creating directory object &3._DATA for &8
CREATE OR REPLACE DIRECTORY &3._data AS '&8';
GRANT READ, WRITE ON DIRECTORY &3._data TO &3;
GRANT READ ON DIRECTORY &3._data TO &3._app_user;

CONNECT &3/"&4"@&2

PROMPT Creating tables
CREATE TABLE members (
  member_id   NUMBER(10)     CONSTRAINT members_pk PRIMARY KEY,
  full_name   VARCHAR2(100)  NOT NULL,
  email       VARCHAR2(200)  CONSTRAINT members_email_uk UNIQUE,
  joined_on   DATE           DEFAULT SYSDATE NOT NULL
);

CREATE TABLE books (
  book_id     NUMBER(10)     CONSTRAINT books_pk PRIMARY KEY,
  isbn        VARCHAR2(17)   NOT NULL CONSTRAINT books_isbn_uk UNIQUE,
  title       VARCHAR2(200)  NOT NULL,
  author      VARCHAR2(100)  NOT NULL,
  copies      NUMBER(3)      DEFAULT 1 NOT NULL
                             CONSTRAINT books_copies_ck CHECK (copies >= 0)
);

CREATE TABLE loans (
  loan_id     NUMBER(10)     CONSTRAINT loans_pk PRIMARY KEY,
  book_id     NUMBER(10)     NOT NULL CONSTRAINT loans_book_fk REFERENCES books,
  member_id   NUMBER(10)     NOT NULL CONSTRAINT loans_member_fk REFERENCES members,
  loaned_on   DATE           DEFAULT SYSDATE NOT NULL,
  due_on      DATE           NOT NULL,
  returned_on DATE,
  CONSTRAINT loans_due_ck CHECK (due_on >= loaned_on),
  CONSTRAINT loans_returned_ck CHECK (returned_on IS NULL OR returned_on >= loaned_on)
);
CREATE INDEX loans_book_ix ON loans (book_id);
CREATE INDEX loans_member_ix ON loans (member_id);

CREATE SEQUENCE loan_seq START WITH 1000 INCREMENT BY 1 NOCACHE;

CREATE OR REPLACE TRIGGER loans_bi
  BEFORE INSERT ON loans
  FOR EACH ROW
  WHEN (new.loan_id IS NULL)
BEGIN
  :new.loan_id := loan_seq.NEXTVAL;
END loans_bi;
/

PROMPT Creating package LENDING_API
CREATE OR REPLACE PACKAGE lending_api AS
  -- Lends a copy of a book; returns the new loan number.
  FUNCTION lend_book(p_book_id IN NUMBER, p_member_id IN NUMBER,
                     p_days IN PLS_INTEGER DEFAULT 21) RETURN NUMBER;
  PROCEDURE return_book(p_loan_id IN NUMBER);
  FUNCTION copies_available(p_book_id IN NUMBER) RETURN NUMBER;
END lending_api;
/

CREATE OR REPLACE PACKAGE BODY lending_api AS
  FUNCTION copies_available(p_book_id IN NUMBER) RETURN NUMBER IS
    l_copies books.copies%TYPE;
    l_out    NUMBER;
  BEGIN
    SELECT copies INTO l_copies FROM books WHERE book_id = p_book_id;
    SELECT COUNT(*) INTO l_out FROM loans
     WHERE book_id = p_book_id AND returned_on IS NULL;
    RETURN l_copies - l_out;
  END copies_available;

  FUNCTION lend_book(p_book_id IN NUMBER, p_member_id IN NUMBER,
                     p_days IN PLS_INTEGER DEFAULT 21) RETURN NUMBER IS
    l_loan_id loans.loan_id%TYPE;
  BEGIN
    IF copies_available(p_book_id) < 1 THEN
      RAISE_APPLICATION_ERROR(-20001, 'No copy of book ' || p_book_id || ' is available');
    END IF;
    INSERT INTO loans (book_id, member_id, loaned_on, due_on)
    VALUES (p_book_id, p_member_id, TRUNC(SYSDATE), TRUNC(SYSDATE) + p_days)
    RETURNING loan_id INTO l_loan_id;
    RETURN l_loan_id;
  END lend_book;

  PROCEDURE return_book(p_loan_id IN NUMBER) IS
  BEGIN
    UPDATE loans SET returned_on = TRUNC(SYSDATE)
     WHERE loan_id = p_loan_id AND returned_on IS NULL;
    IF SQL%ROWCOUNT = 0 THEN
      RAISE_APPLICATION_ERROR(-20002, 'Loan ' || p_loan_id || ' is not open');
    END IF;
  END return_book;
END lending_api;
/

PROMPT Granting the application role its privileges
GRANT SELECT ON members TO &3._app_user;
GRANT SELECT ON books TO &3._app_user;
GRANT SELECT ON loans TO &3._app_user;
GRANT EXECUTE ON lending_api TO &3._app_user;
PROMPT Schema &3 installed.
