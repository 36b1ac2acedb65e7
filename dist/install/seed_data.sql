-- seed_data.sql
-- Loads the demonstration rows into the Quarndel lending library tables.
-- Arguments: 1 database service, 2 connect identifier, 3 schema owner,
--            4 owner password
SET VERIFY OFF
SET FEEDBACK OFF
WHENEVER SQLERROR EXIT FAILURE ROLLBACK
CONNECT &3/"&4"@&2

PROMPT Loading seed data into &3 (service &1)
INSERT INTO members (member_id, full_name, email, joined_on)
VALUES (1, 'Ada Pemberton', 'ada.pemberton@example.org', DATE '2023-01-09');
INSERT INTO members (member_id, full_name, email, joined_on)
VALUES (2, 'Rhys Okafor', 'rhys.okafor@example.org', DATE '2023-03-21');
INSERT INTO members (member_id, full_name, email, joined_on)
VALUES (3, 'Mei Lindqvist', 'mei.lindqvist@example.org', DATE '2024-02-14');

INSERT INTO books (book_id, isbn, title, author, copies)
VALUES (101, '978-0-14-143951-8', 'Pride and Prejudice', 'Jane Austen', 2);
INSERT INTO books (book_id, isbn, title, author, copies)
VALUES (102, '978-0-14-118776-1', 'Nineteen Eighty-Four', 'George Orwell', 3);
INSERT INTO books (book_id, isbn, title, author, copies)
VALUES (103, '978-0-7432-7356-5', 'The Great Gatsby', 'F. Scott Fitzgerald', 1);
INSERT INTO books (book_id, isbn, title, author, copies)
VALUES (104, '978-0-14-044913-6', 'Crime and Punishment', 'Fyodor Dostoevsky', 1);

INSERT INTO loans (book_id, member_id, loaned_on, due_on)
VALUES (101, 1, TRUNC(SYSDATE) - 10, TRUNC(SYSDATE) + 11);
INSERT INTO loans (book_id, member_id, loaned_on, due_on, returned_on)
VALUES (103, 2, TRUNC(SYSDATE) - 40, TRUNC(SYSDATE) - 19, TRUNC(SYSDATE) - 21);
COMMIT;

SET FEEDBACK ON
SELECT (SELECT COUNT(*) FROM members) AS members,
       (SELECT COUNT(*) FROM books) AS books,
       (SELECT COUNT(*) FROM loans) AS loans
  FROM dual;
PROMPT Seed data loaded.
