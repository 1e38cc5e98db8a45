-- The empty marltips database: plans in `rule`, recorded articles in `info`.
-- Every value is stored as text; only the keys are integers.
CREATE TABLE rule (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    class     TEXT,
    name      TEXT,
    url       TEXT,
    code      TEXT,
    ua        TEXT,
    post      TEXT,
    part      TEXT,
    js        TEXT,
    url_gs    TEXT,
    inc1      TEXT,
    inc0      TEXT,
    ltime     TEXT,
    dom       TEXT,
    url_key   TEXT,
    url_key_i TEXT,
    inck      TEXT
);

CREATE TABLE info (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    classid TEXT,
    title   TEXT,
    url     TEXT,
    addtime TEXT
);

-- The seen-check looks addresses up on every pass: keep it an index lookup.
CREATE INDEX info_url ON info (url);
