#pragma once
// What each piece of a backup or restore costs the server, in seconds, as
// Firebird 3 on loopback with 4 KB pages spends them: the verbose jobs timed
// line by line (bkp_stat/res_stat) on two databases, one of 3,000 small
// tables and one table of 200,000 records of 54 bytes, and one of four tables
// of 750,000 records of 204 bytes. Only their ratios matter: the pace of the
// machine at hand is learnt as the job goes.

namespace jobcosts {

// A backup: the start; each line of its metadata (a domain, a table, a
// column: 27,000 lines in 0.23 s), or each table where the plan does not know
// the lines; each table's data; each record, a part of its own and a part per
// byte of its declared length (0.87 us at 54 bytes, 1.26 us at 204); at the
// end each table's constraints and privileges, and the closing of the file.
constexpr double BackupStart = 0.01;
constexpr double BackupMetaLine = 8.4e-6;
constexpr double BackupTableMeta = 0.08e-3;
constexpr double BackupTableData = 0.10e-3;
constexpr double BackupRecord = 0.73e-6;
constexpr double BackupRecordByte = 0.0026e-6;
constexpr double BackupTableTail = 0.07e-3;
constexpr double BackupTailPerRecord = 0.09e-6;

// A restore: the database's creation; each line of its metadata (27,000 in
// 0.84 s) or each table, and each table's commit of it; each table's data
// and each record (1.45 us at 54 bytes, 4.5 us at 204); the privileges after
// all the data (27,000 in 1.34 s; a table without records has no data
// lines), or each table's where the plan does not know how many; the commit
// before the indexes; each index and each key in it; the last steps.
constexpr double RestoreStart = 0.04;
constexpr double RestoreMetaLine = 31e-6;
constexpr double RestoreTableMeta = 0.28e-3;
constexpr double RestoreTableMetaCommit = 0.17e-3;
constexpr double RestoreTableData = 0.02e-3;
constexpr double RestoreRecord = 0.35e-6;
constexpr double RestoreRecordByte = 0.0203e-6;
constexpr double RestoreGrant = 0.05e-3;
constexpr double RestoreTableGrants = 0.45e-3;
constexpr double RestoreTableCommit = 0.30e-3;
constexpr double RestoreIndex = 0.43e-3;
constexpr double RestoreIndexKey = 0.45e-6;
constexpr double RestoreTableFinish = 0.16e-3;
constexpr double RestoreFinish = 0.01;

// The record length taken where the plan does not know it.
constexpr double UnknownRecordLength = 100;
// The server's records between two "N records written" lines by default.
constexpr double DefaultInterval = 10000;

} // namespace jobcosts
