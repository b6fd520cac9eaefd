-- The database a new shop starts with, at the schema version Database::kSchemaVersion; an older
-- file is brought to it by the steps in schema_migration.cpp. Dates are 'yyyy-MM-dd' text, so
-- text order is date order; amounts are REAL. Every column has a default, so a row appended
-- without one of its columns never holds NULL.
PRAGMA application_id = 1381324371;

CREATE TABLE meta (
    version INTEGER NOT NULL
);

CREATE TABLE kh_table (
    kh_code   TEXT NOT NULL PRIMARY KEY,
    kh_cph    TEXT NOT NULL DEFAULT '',
    kh_czname TEXT NOT NULL DEFAULT '',
    kh_xb     TEXT NOT NULL DEFAULT '',
    kh_tele   TEXT NOT NULL DEFAULT '',
    kh_djdate TEXT NOT NULL DEFAULT '',
    kh_txdate TEXT NOT NULL DEFAULT '',
    kh_sfzh   TEXT NOT NULL DEFAULT '',
    kh_cx     TEXT NOT NULL DEFAULT '',
    kh_sfdgdh TEXT NOT NULL DEFAULT '0'
);
CREATE INDEX kh_table_cph ON kh_table (kh_cph);
CREATE INDEX kh_table_cph_key ON kh_table (replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(upper(kh_cph), ' ', ''), '　', ''), '·', ''), '•', ''), '・', ''), '‧', ''), '･', ''), '-', ''), '‐', ''), '–', ''), '—', ''), '.', ''));
CREATE INDEX kh_table_txdate ON kh_table (kh_txdate);
CREATE INDEX kh_table_djdate ON kh_table (kh_djdate);

CREATE TABLE kh_tele_table (
    kh_tele_code   TEXT NOT NULL PRIMARY KEY,
    kh_tele_cph    TEXT NOT NULL DEFAULT '',
    kh_tele_czname TEXT NOT NULL DEFAULT '',
    kh_tele_txnr   TEXT NOT NULL DEFAULT '',
    kh_tele_khhy   TEXT NOT NULL DEFAULT '',
    kh_tele_txdate TEXT NOT NULL DEFAULT '',
    kh_tele_date   TEXT NOT NULL DEFAULT '',
    kh_tele_czr    TEXT NOT NULL DEFAULT ''
);
CREATE INDEX kh_tele_table_cph ON kh_tele_table (kh_tele_cph);
CREATE INDEX kh_tele_table_date ON kh_tele_table (kh_tele_date);

CREATE TABLE kh_wx_table (
    kh_wx_code   TEXT NOT NULL PRIMARY KEY,
    kh_wx_dh     TEXT NOT NULL DEFAULT '',
    kh_wx_cph    TEXT NOT NULL DEFAULT '',
    kh_wx_czname TEXT NOT NULL DEFAULT '',
    kh_wx_cx     TEXT NOT NULL DEFAULT '',
    kh_wx_tele   TEXT NOT NULL DEFAULT '',
    kh_wx_hj     REAL NOT NULL DEFAULT 0,
    kh_wx_czr    TEXT NOT NULL DEFAULT '',
    kh_wx_txdate TEXT NOT NULL DEFAULT '',
    kh_wx_date   TEXT NOT NULL DEFAULT '',
    kh_wx_wxjs   TEXT NOT NULL DEFAULT '',
    kh_wx_zf     TEXT NOT NULL DEFAULT '0',
    kh_wx_zfr    TEXT NOT NULL DEFAULT '',
    kh_wx_zfsj   TEXT NOT NULL DEFAULT '',
    kh_wx_zfyy   TEXT NOT NULL DEFAULT '',
    kh_wx_bb     INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX kh_wx_table_dh ON kh_wx_table (kh_wx_dh);
CREATE INDEX kh_wx_table_cph ON kh_wx_table (kh_wx_cph);
CREATE INDEX kh_wx_table_date_amount ON kh_wx_table (kh_wx_date, kh_wx_hj, kh_wx_zf);

CREATE TABLE kh_wx_mx_table (
    kh_wx_mx_code   TEXT NOT NULL PRIMARY KEY,
    kh_wx_mx_dh     TEXT NOT NULL DEFAULT '',
    kh_wx_mx_cph    TEXT NOT NULL DEFAULT '',
    kh_wx_mx_czname TEXT NOT NULL DEFAULT '',
    kh_wx_mx_cx     TEXT NOT NULL DEFAULT '',
    kh_wx_mx_tele   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_czr    TEXT NOT NULL DEFAULT '',
    kh_wx_mx_date   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_wxjs   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_xm     TEXT NOT NULL DEFAULT '',
    kh_wx_mx_xmsm   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_sl     REAL NOT NULL DEFAULT 0,
    kh_wx_mx_dj     REAL NOT NULL DEFAULT 0,
    kh_wx_mx_hj     REAL NOT NULL DEFAULT 0,
    kh_wx_mx_zf     TEXT NOT NULL DEFAULT '0'
);
CREATE INDEX kh_wx_mx_table_dh ON kh_wx_mx_table (kh_wx_mx_dh);
CREATE INDEX kh_wx_mx_table_date_amount ON kh_wx_mx_table (kh_wx_mx_date, kh_wx_mx_hj, kh_wx_mx_zf);
CREATE INDEX kh_wx_mx_table_xm ON kh_wx_mx_table (kh_wx_mx_xm);

-- The earlier versions of corrected orders: the header as it stood before correction number
-- kh_wx_ls_bb (the order's revision it replaced), who corrected it and when.
CREATE TABLE kh_wx_ls_table (
    kh_wx_ls_code   TEXT NOT NULL PRIMARY KEY,
    kh_wx_ls_dh     TEXT NOT NULL DEFAULT '',
    kh_wx_ls_bb     INTEGER NOT NULL DEFAULT 0,
    kh_wx_ls_cph    TEXT NOT NULL DEFAULT '',
    kh_wx_ls_czname TEXT NOT NULL DEFAULT '',
    kh_wx_ls_cx     TEXT NOT NULL DEFAULT '',
    kh_wx_ls_tele   TEXT NOT NULL DEFAULT '',
    kh_wx_ls_hj     REAL NOT NULL DEFAULT 0,
    kh_wx_ls_czr    TEXT NOT NULL DEFAULT '',
    kh_wx_ls_txdate TEXT NOT NULL DEFAULT '',
    kh_wx_ls_date   TEXT NOT NULL DEFAULT '',
    kh_wx_ls_wxjs   TEXT NOT NULL DEFAULT '',
    kh_wx_ls_xgr    TEXT NOT NULL DEFAULT '',
    kh_wx_ls_xgsj   TEXT NOT NULL DEFAULT ''
);
CREATE INDEX kh_wx_ls_table_dh ON kh_wx_ls_table (kh_wx_ls_dh);

-- The lines of those earlier versions, in their order (kh_wx_mx_ls_xh).
CREATE TABLE kh_wx_mx_ls_table (
    kh_wx_mx_ls_code TEXT NOT NULL PRIMARY KEY,
    kh_wx_mx_ls_dh   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_ls_bb   INTEGER NOT NULL DEFAULT 0,
    kh_wx_mx_ls_xh   INTEGER NOT NULL DEFAULT 0,
    kh_wx_mx_ls_xm   TEXT NOT NULL DEFAULT '',
    kh_wx_mx_ls_xmsm TEXT NOT NULL DEFAULT '',
    kh_wx_mx_ls_sl   REAL NOT NULL DEFAULT 0,
    kh_wx_mx_ls_dj   REAL NOT NULL DEFAULT 0,
    kh_wx_mx_ls_hj   REAL NOT NULL DEFAULT 0
);
CREATE INDEX kh_wx_mx_ls_table_dh ON kh_wx_mx_ls_table (kh_wx_mx_ls_dh);

-- Every plate correction: the customer, the plate before and after, who and when.
CREATE TABLE kh_cph_gz_table (
    kh_cph_gz_code  TEXT NOT NULL PRIMARY KEY,
    kh_cph_gz_khdm  TEXT NOT NULL DEFAULT '',
    kh_cph_gz_old   TEXT NOT NULL DEFAULT '',
    kh_cph_gz_new   TEXT NOT NULL DEFAULT '',
    kh_cph_gz_czr   TEXT NOT NULL DEFAULT '',
    kh_cph_gz_sj    TEXT NOT NULL DEFAULT ''
);
CREATE INDEX kh_cph_gz_table_khdm ON kh_cph_gz_table (kh_cph_gz_khdm);

CREATE TABLE xm_table (
    xm_code TEXT NOT NULL PRIMARY KEY,
    xm_name TEXT NOT NULL DEFAULT '',
    xm_je   REAL NOT NULL DEFAULT 0
);
CREATE INDEX xm_table_name ON xm_table (xm_name);

CREATE TABLE wxjs_table (
    wxjs_code TEXT NOT NULL PRIMARY KEY,
    wxjs_name TEXT NOT NULL DEFAULT ''
);

CREATE TABLE cp_table (
    cp_name TEXT NOT NULL DEFAULT ''
);

-- user_role is 管理员 or 店员; an operator added without one may do only what a clerk may.
-- A disabled operator (user_enabled 0) cannot log in but keeps their name on orders and calls;
-- user_reset 1 makes the next login set a new password; user_login is the last login's
-- 'yyyy-MM-dd HH:mm:ss'.
CREATE TABLE user_table (
    user_name    TEXT NOT NULL DEFAULT '',
    user_pass    TEXT NOT NULL DEFAULT '',
    user_role    TEXT NOT NULL DEFAULT '店员',
    user_enabled INTEGER NOT NULL DEFAULT 1,
    user_reset   INTEGER NOT NULL DEFAULT 0,
    user_login   TEXT NOT NULL DEFAULT ''
);
CREATE INDEX user_table_name ON user_table (user_name);

CREATE TABLE tele_nr (
    tele_nr_txt TEXT NOT NULL DEFAULT ''
);
CREATE INDEX tele_nr_txt_index ON tele_nr (tele_nr_txt);

CREATE TABLE tele_hy (
    tele_hy_txt TEXT NOT NULL DEFAULT ''
);
CREATE INDEX tele_hy_txt_index ON tele_hy (tele_hy_txt);

-- The shop's profile: its name, address and telephone, in the first row.
CREATE TABLE regedit_table (
    re_name    TEXT NOT NULL DEFAULT '',
    re_address TEXT NOT NULL DEFAULT '',
    re_tele    TEXT NOT NULL DEFAULT ''
);
