-- A blank rule database (derov.sdb). The program never creates one; scripts/run.sh makes
-- it from this file. Texts are stored as the program's GBK bytes. The id is the rule's
-- number and its slot in the program (1..99); the database assigns it on insert.
CREATE TABLE rule (
  id       INTEGER PRIMARY KEY,
  name     TEXT,
  url      TEXT,     -- may hold {日期}, replaced by the date at every fetch
  isgbk    INTEGER,  -- 1: the page is GBK already; 0: UTF-8
  head     TEXT,     -- request header lines, CR LF between them
  ispost   INTEGER,
  postdata TEXT,
  plv      INTEGER,  -- seconds between two fetches
  isjiequ  INTEGER,  -- 1: watch only the text between before and after
  before   TEXT,
  after    TEXT,
  type     INTEGER,  -- 1 page state, 2 keyword, 3 number
  saverule TEXT,     -- condition code and operands: 13, 23{[word]}, 33{100}[200]
  val_old  TEXT,     -- previous value a rule starts from after a load
  isrep    INTEGER,  -- 1: remind at every change; 0: once, then finished
  ctime    TEXT,
  ltime    INTEGER,
  isend    INTEGER,
  isopen   INTEGER
);
