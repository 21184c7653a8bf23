/*
 * msiquery.h - the package database engine's whole public interface.
 *
 * A portable implementation of the Windows Installer database functions
 * (the "MsiDatabase*", "MsiView*" and "MsiRecord*" families), with the
 * installer's names, argument conventions and result codes, so that code
 * written against the installer SDK compiles and behaves the same here.
 *
 * HANDLES
 *   Every object (database, view, record) is reached through an MSIHANDLE,
 *   a 32-bit number; 0 is never a valid handle. A handle stays valid until
 *   MsiCloseHandle (or MsiCloseAllHandles). Objects hold references to what
 *   they need: closing a database handle while one of its views or records
 *   is still open keeps the underlying database alive until the last of
 *   them is closed. Passing a closed, unknown or wrong-kind handle gives
 *   ERROR_INVALID_HANDLE (6).
 *
 * THREADS
 *   The handle table is guarded by a lock, so handles may be created and
 *   closed from any thread. One database and everything opened from it must
 *   be used by one thread at a time; two threads working on two different
 *   databases need no coordination.
 *
 * TEXT
 *   The W functions take and give UTF-16 text (WCHAR is char16_t); the A
 *   functions take and give UTF-8. Package strings are converted from the
 *   package codepage (codepage 0 reads as 1252).
 *
 * FAILURES
 *   Every function answers with a result code (or, for the few that answer
 *   something else, with the failure value its comment names); no C++
 *   exception ever leaves the engine. Running out of memory gives
 *   ERROR_NOT_ENOUGH_MEMORY (8) from whichever call needed it; what that call
 *   had changed before stays changed, as after any other failure part-way
 *   through a statement, and the handles and the database behind them keep
 *   working, so the call can be made again once memory is free.
 *
 * BUFFERS
 *   Functions that return text take a buffer and a length in characters
 *   (bytes for the A forms). On entry *pcch is the buffer's size including
 *   room for the terminator; on return it is the text's length without the
 *   terminator. When the buffer is too small the result is ERROR_MORE_DATA
 *   (234) and *pcch holds the length needed (without terminator); the
 *   buffer then holds as much as fits, terminated, if it has any room.
 *   A null buffer just asks for the length: ERROR_SUCCESS, *pcch = length.
 */
#ifndef MSIENGINE_MSIQUERY_H
#define MSIENGINE_MSIQUERY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
/* The engine is built with hidden visibility; what is declared here is the
 * shared library's interface. */
#ifdef __GNUC__
#pragma GCC visibility push(default)
#endif

/* ---- basic types (the SDK's names; Windows already has them) --------- */
#ifndef _WIN32
typedef uint32_t UINT;
typedef int32_t INT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef int BOOL;
#ifdef __cplusplus
typedef char16_t WCHAR;
#else
typedef uint16_t WCHAR;
#endif
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef char *LPSTR;
typedef const char *LPCSTR;
#endif
typedef uint32_t MSIHANDLE;

/* ---- result codes ------------------------------------------------------ */
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u          /* package path names no file */
#define ERROR_PATH_NOT_FOUND 3u          /* an empty path, or a folder of it
                                            that is no folder */
#define ERROR_ACCESS_DENIED 5u           /* no permission to read or write */
#define ERROR_INVALID_HANDLE 6u          /* bad, closed or wrong-kind handle */
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATA 13u           /* damaged package structure or data */
#define ERROR_WRITE_FAULT 29u            /* writing the package failed */
#define ERROR_READ_FAULT 30u             /* reading a file failed part-way */
#define ERROR_HANDLE_DISK_FULL 39u       /* no space left for a commit */
#define ERROR_INVALID_PARAMETER 87u      /* a wrong argument */
#define ERROR_FILE_INVALID 1006u         /* the package was changed or
                                            replaced by another program
                                            since it was opened: the
                                            commit wrote nothing */
#define ERROR_OPEN_FAILED 110u           /* the package cannot be opened */
#define ERROR_CALL_NOT_IMPLEMENTED 120u  /* not supported by this engine */
#define ERROR_BAD_PATHNAME 161u          /* an archive file cannot be read */
#define ERROR_MORE_DATA 234u             /* buffer too small; see BUFFERS */
#define ERROR_NO_MORE_ITEMS 259u         /* MsiViewFetch after the last row */
#define ERROR_INVALID_DATATYPE 1804u     /* field is not of the asked type */
#define ERROR_BAD_QUERY_SYNTAX 1615u     /* malformed statement, unknown
                                            table or column; malformed
                                            condition */
#define ERROR_INSTALL_PACKAGE_INVALID 1620u /* not a package at all */
#define ERROR_NO_DATA 232u               /* generating: the databases are the same */
#define ERROR_INSTALL_TRANSFORM_FAILURE 1624u /* a transform is damaged or
                                                 does not fit the database */
#define ERROR_FUNCTION_FAILED 1627u      /* e.g. duplicate primary key */
#define ERROR_INVALID_TABLE 1628u
#define ERROR_DATATYPE_MISMATCH 1629u    /* value of the wrong type */
#define ERROR_UNSUPPORTED_TYPE 1630u
#define ERROR_CREATE_FAILED 1631u
#define ERROR_SUCCESS_REBOOT_INITIATED 1641u
#define ERROR_SUCCESS_REBOOT_REQUIRED 3010u

/* ---- MsiOpenDatabase persist modes --------------------------------------
 * As in the SDK, the persist argument is either one of these small values
 * cast to a text pointer, or the path of an output file: the package is
 * then read from szDatabasePath and MsiDatabaseCommit writes the result to
 * the output path, leaving the input untouched.
 *   READONLY      no persistent changes: changing statements and Modify
 *                 work in memory, as the installer's do, but nothing is
 *                 ever written; MsiDatabaseCommit succeeds and writes
 *                 nothing.
 *   TRANSACT      read/write; changes reach the file only at commit.
 *   DIRECT        as TRANSACT here (the installer's direct mode also keeps
 *                 changes in memory until commit).
 *   CREATE        create a new package (replacing a file of that name at
 *                 commit); TRANSACT otherwise.
 *   CREATEDIRECT  as CREATE.
 * Writes are atomic: commit writes a new file beside the package, flushes
 * it and renames it over the old one; a failed commit changes nothing.
 *
 * One writer at a time. Every mode that may write (TRANSACT, DIRECT,
 * CREATE, CREATEDIRECT, and an output path, for the output file) takes an
 * advisory lock at open, held until the database handle and everything
 * opened from it are closed: a second open for writing of the same file,
 * from this process or another, fails with ERROR_OPEN_FAILED. The lock is
 * flock(2) on a lock file beside the package, ".NAME.lock", removed again
 * on close (the package itself cannot carry it: each commit renames a new
 * file over it). The installer behaves the same way: it opens a package for
 * TRANSACT with share-deny-write and for DIRECT and CREATE share-exclusive,
 * so a second writer meets a sharing violation in the storage layer and
 * MsiOpenDatabase answers ERROR_OPEN_FAILED, the code the installer
 * documents for a database that cannot be opened as requested (Wine answers
 * ERROR_FUNCTION_FAILED for every storage failure; the installer's code is
 * followed). Programs that do not take the lock (other tools, a copy) are
 * caught at commit: when the file is no longer the one that was opened (or
 * last committed), replaced or rewritten (another inode, size or
 * modification time), MsiDatabaseCommit writes nothing and answers
 * ERROR_FILE_INVALID.
 * Readers take no lock and are never blocked, unlike the installer's, whose
 * read-only opens deny writers: a reader keeps reading the package as it
 * was opened, and the atomic rename shows later readers the old package or
 * the new one, whole. */
#define MSIDBOPEN_READONLY ((LPCWSTR)(uintptr_t)0)
#define MSIDBOPEN_TRANSACT ((LPCWSTR)(uintptr_t)1)
#define MSIDBOPEN_DIRECT ((LPCWSTR)(uintptr_t)2)
#define MSIDBOPEN_CREATE ((LPCWSTR)(uintptr_t)3)
#define MSIDBOPEN_CREATEDIRECT ((LPCWSTR)(uintptr_t)4)
#define MSIDBOPEN_READONLY_A ((LPCSTR)(uintptr_t)0)
#define MSIDBOPEN_TRANSACT_A ((LPCSTR)(uintptr_t)1)
#define MSIDBOPEN_DIRECT_A ((LPCSTR)(uintptr_t)2)
#define MSIDBOPEN_CREATE_A ((LPCSTR)(uintptr_t)3)
#define MSIDBOPEN_CREATEDIRECT_A ((LPCSTR)(uintptr_t)4)

/* MsiRecordGetInteger's answer for a null field or one that is no number */
#define MSI_NULL_INTEGER ((int)0x80000000)

/* In C++ the enumerations are int-based, as they are in C: a caller may pass
 * any int (an unknown value is refused with ERROR_INVALID_PARAMETER), and
 * the engine may read it without undefined behaviour. */
#ifdef __cplusplus
#define MSIENGINE_INT_ENUM : int
#else
#define MSIENGINE_INT_ENUM
#endif

typedef enum tagMSICOLINFO MSIENGINE_INT_ENUM {
  MSICOLINFO_NAMES = 0, /* field i: name of column i */
  MSICOLINFO_TYPES = 1  /* field i: type such as s72, S255, i2, I4, L0, v0 */
} MSICOLINFO;

typedef enum tagMSICONDITION MSIENGINE_INT_ENUM {
  MSICONDITION_FALSE = 0, /* the table is temporary */
  MSICONDITION_TRUE = 1,  /* the table is persistent */
  MSICONDITION_NONE = 2,  /* no such table */
  MSICONDITION_ERROR = 3  /* bad handle or argument */
} MSICONDITION;

typedef enum tagMSIMODIFY MSIENGINE_INT_ENUM {
  MSIMODIFY_SEEK = -1,            /* fill the record from the row of its key */
  MSIMODIFY_REFRESH = 0,          /* re-read a fetched record */
  MSIMODIFY_INSERT = 1,           /* insert; fails if the key exists */
  MSIMODIFY_UPDATE = 2,           /* update the fetched row */
  MSIMODIFY_ASSIGN = 3,           /* insert or update by key */
  MSIMODIFY_REPLACE = 4,          /* update, or delete and insert if the
                                     key changed */
  MSIMODIFY_MERGE = 5,            /* insert; fails if the key exists with
                                     other values */
  MSIMODIFY_DELETE = 6,           /* delete the row of the record's key */
  MSIMODIFY_INSERT_TEMPORARY = 7, /* insert, never written to the file */
  MSIMODIFY_VALIDATE = 8,         /* check a fetched record as an update
                                     of its row */
  MSIMODIFY_VALIDATE_NEW = 9,     /* check a record as a new row */
  MSIMODIFY_VALIDATE_FIELD = 10,  /* check the record's non-null fields */
  MSIMODIFY_VALIDATE_DELETE = 11  /* check that no row refers to the
                                     record's row */
} MSIMODIFY;

/* ---- validation ---------------------------------------------------------
 * The four validation modes of MsiViewModify check a record against the
 * package's _Validation table and change nothing (they work on read-only
 * databases too). For every column checked, the _Validation row of
 * (table, column) gives the rules: Nullable ("Y" allows null), MinValue and
 * MaxValue (integer columns), KeyTable and KeyColumn (foreign keys: the
 * value must be in column KeyColumn, 1 when null, of one of the tables
 * KeyTable lists, separated by ';'), Category (a format of the SDK's
 * "Column Data Types", for text columns; binary columns must name Binary;
 * integer columns ignore it) and Set (the values allowed, separated by
 * ';'). Each column reports at most one error, its first broken rule;
 * docs/validation.md gives each category's rule.
 *   MSIMODIFY_VALIDATE         every column of the record's row: the view's
 *                              fields over the row's stored values, foreign
 *                              keys included; the record must have been
 *                              fetched from the view (else
 *                              ERROR_FUNCTION_FAILED). A key changed to that
 *                              of another row is a DUPLICATEKEY.
 *   MSIMODIFY_VALIDATE_NEW     every column of a new row (columns outside the
 *                              view are null), foreign keys included, and
 *                              DUPLICATEKEY when a row has the record's key.
 *   MSIMODIFY_VALIDATE_FIELD   only the view's fields that are not null;
 *                              no foreign keys, no duplicate key.
 *   MSIMODIFY_VALIDATE_DELETE  whether a row of another table (or another
 *                              row of this one) refers to the record's row
 *                              through a _Validation foreign key naming this
 *                              table alone: MSIDBERROR_REQUIRED on the
 *                              column referred to.
 * Results: ERROR_SUCCESS when every check passes; ERROR_INVALID_DATA when
 * one fails (the errors are then read with MsiViewGetError);
 * ERROR_INVALID_TABLE when the package has no _Validation table or it lacks
 * the Table or Column column; ERROR_DATATYPE_MISMATCH when a field holds a
 * value of another kind than its column (text that is no number for an
 * integer column, a stream for a text column); ERROR_FUNCTION_FAILED for a
 * view of several tables or without every key column (not for
 * VALIDATE_FIELD). A damaged _Validation table never fails the call
 * otherwise: an unknown category is MSIDBERROR_BADCATEGORY, a key table
 * that does not exist (or a KeyColumn beyond its columns)
 * MSIDBERROR_BADKEYTABLE, MinValue above MaxValue
 * MSIDBERROR_BADMAXMINVALUES. */
typedef enum tagMSIDBERROR MSIENGINE_INT_ENUM {
  MSIDBERROR_INVALIDARG = -3,     /* bad view handle or null pcchBuf */
  MSIDBERROR_MOREDATA = -2,       /* buffer too small for the column name */
  MSIDBERROR_FUNCTIONERROR = -1,  /* the function failed */
  MSIDBERROR_NOERROR = 0,         /* no (more) errors */
  MSIDBERROR_DUPLICATEKEY = 1,    /* a row with the record's key exists */
  MSIDBERROR_REQUIRED = 2,        /* null in a column that takes none; or
                                     (VALIDATE_DELETE) a row refers to it */
  MSIDBERROR_BADLINK = 3,         /* no row of the key table has the value */
  MSIDBERROR_OVERFLOW = 4,        /* above MaxValue or the column's range */
  MSIDBERROR_UNDERFLOW = 5,       /* below MinValue or the column's range */
  MSIDBERROR_NOTINSET = 6,        /* not one of the Set's values */
  MSIDBERROR_BADVERSION = 7,
  MSIDBERROR_BADCASE = 8,         /* UpperCase or LowerCase broken */
  MSIDBERROR_BADGUID = 9,
  MSIDBERROR_BADWILDCARD = 10,
  MSIDBERROR_BADIDENTIFIER = 11,
  MSIDBERROR_BADLANGUAGE = 12,
  MSIDBERROR_BADFILENAME = 13,
  MSIDBERROR_BADPATH = 14,        /* Path, Paths, AnyPath */
  MSIDBERROR_BADCONDITION = 15,
  MSIDBERROR_BADFORMATTED = 16,   /* Formatted, FormattedSDDLText */
  MSIDBERROR_BADTEMPLATE = 17,
  MSIDBERROR_BADDEFAULTDIR = 18,
  MSIDBERROR_BADREGPATH = 19,
  MSIDBERROR_BADCUSTOMSOURCE = 20,
  MSIDBERROR_BADPROPERTY = 21,
  MSIDBERROR_MISSINGDATA = 22,    /* _Validation has no row for the column */
  MSIDBERROR_BADCATEGORY = 23,    /* unknown category, or one that does not
                                     fit the column's kind */
  MSIDBERROR_BADKEYTABLE = 24,    /* no table of KeyTable exists */
  MSIDBERROR_BADMAXMINVALUES = 25,/* MinValue above MaxValue */
  MSIDBERROR_BADCABINET = 26,
  MSIDBERROR_BADSHORTCUT = 27,
  MSIDBERROR_STRINGOVERFLOW = 28, /* text longer than the column's width */
  MSIDBERROR_BADLOCALIZEATTRIB = 29 /* a key column marked localizable */
} MSIDBERROR;

/* ---- handles ------------------------------------------------------------ */
/* Closes any handle. 0 is accepted and does nothing. */
UINT MsiCloseHandle(MSIHANDLE hAny);
/* Closes every open handle; returns how many were open. */
UINT MsiCloseAllHandles(void);

/* ---- databases -------------------------------------------------------- */
/* Opens a package. Open failures: ERROR_OPEN_FAILED (110) when the file
 * cannot be read (missing, unreadable, or not writable for a write mode,
 * or open for writing elsewhere; see the persist modes),
 * ERROR_INSTALL_PACKAGE_INVALID (1620) when it is not a compound file or
 * lacks the tables every package has, ERROR_INVALID_DATA (13) when its
 * structure is damaged. Tables are decoded when first used, so damage
 * inside one table surfaces when a view reads it. */
UINT MsiOpenDatabaseW(LPCWSTR szDatabasePath, LPCWSTR szPersist,
                      MSIHANDLE *phDatabase);
UINT MsiOpenDatabaseA(LPCSTR szDatabasePath, LPCSTR szPersist,
                      MSIHANDLE *phDatabase);

/* Opens a view on one SQL statement of the installer's dialect; a malformed
 * statement or an unknown table or column gives ERROR_BAD_QUERY_SYNTAX.
 * So does a statement beyond the engine's limits, which keep any text from
 * exhausting the stack: more than 1 MiB of (UTF-8) text, or a condition
 * nested more than 200 parentheses deep. */
UINT MsiDatabaseOpenViewW(MSIHANDLE hDatabase, LPCWSTR szQuery,
                          MSIHANDLE *phView);
UINT MsiDatabaseOpenViewA(MSIHANDLE hDatabase, LPCSTR szQuery,
                          MSIHANDLE *phView);

/* A record whose field i is the name of the table's i-th key column;
 * ERROR_INVALID_TABLE when there is no such table. */
UINT MsiDatabaseGetPrimaryKeysW(MSIHANDLE hDatabase, LPCWSTR szTableName,
                                MSIHANDLE *phRecord);
UINT MsiDatabaseGetPrimaryKeysA(MSIHANDLE hDatabase, LPCSTR szTableName,
                                MSIHANDLE *phRecord);

MSICONDITION MsiDatabaseIsTablePersistentW(MSIHANDLE hDatabase,
                                           LPCWSTR szTableName);
MSICONDITION MsiDatabaseIsTablePersistentA(MSIHANDLE hDatabase,
                                           LPCSTR szTableName);

/* Writes all changes to the package (or to the output path given at open).
 * On a read-only database it succeeds and does nothing, as the installer's
 * does. A commit with nothing changed does not rewrite the file.
 * ERROR_FILE_INVALID when another program changed or replaced the file
 * since it was opened or last committed: nothing is written, the changes
 * stay in memory. */
UINT MsiDatabaseCommit(MSIHANDLE hDatabase);

/* Imports one .idt archive file (szFileName) from folder szFolderPath into
 * the database, replacing a table of the same name. An archive of the
 * table _SummaryInformation (PropertyId i2, Value l255; one row a
 * property, file times as yyyy/mm/dd hh:mm:ss UTC, text in the summary's
 * own codepage, which a row for property 1 sets) sets those properties in
 * the summary information and leaves the others; MsiDatabaseCommit writes
 * it with everything else. A row for an unknown property or with a value
 * of the wrong form gives ERROR_FUNCTION_FAILED and changes nothing. */
UINT MsiDatabaseImportW(MSIHANDLE hDatabase, LPCWSTR szFolderPath,
                        LPCWSTR szFileName);
UINT MsiDatabaseImportA(MSIHANDLE hDatabase, LPCSTR szFolderPath,
                        LPCSTR szFileName);
/* Exports one table to szFolderPath/szFileName in the .idt archive format;
 * binary fields go to files in a folder named after the table.
 * _ForceCodepage writes the database codepage, _SummaryInformation every
 * property the summary information holds (in the form
 * MsiDatabaseImport reads; file times to the second). ERROR_INVALID_TABLE
 * for a table that does not exist. */
UINT MsiDatabaseExportW(MSIHANDLE hDatabase, LPCWSTR szTableName,
                        LPCWSTR szFolderPath, LPCWSTR szFileName);
UINT MsiDatabaseExportA(MSIHANDLE hDatabase, LPCSTR szTableName,
                        LPCSTR szFolderPath, LPCSTR szFileName);

/* ---- views -------------------------------------------------------------- */
/* Runs the statement. hRecord (or 0) supplies the values of the '?'
 * markers, in order. Executing an executed view runs it again. An UPDATE
 * (of one table or of several joined ones) changes all its rows or none:
 * a value a column refuses (ERROR_DATATYPE_MISMATCH, or
 * ERROR_FUNCTION_FAILED for a null in a NOT NULL column) is found before
 * the first row changes. */
UINT MsiViewExecute(MSIHANDLE hView, MSIHANDLE hRecord);
/* The next row as a new record (the caller closes it);
 * ERROR_NO_MORE_ITEMS after the last row. */
UINT MsiViewFetch(MSIHANDLE hView, MSIHANDLE *phRecord);
/* Ends the execution; the view may be executed again. */
UINT MsiViewClose(MSIHANDLE hView);
UINT MsiViewGetColumnInfo(MSIHANDLE hView, MSICOLINFO eColumnInfo,
                          MSIHANDLE *phRecord);
/* Changes rows through a view of one table; see MSIMODIFY. The validation
 * modes change nothing: see "validation" above. Every call first forgets
 * the errors of the view's previous validation. */
UINT MsiViewModify(MSIHANDLE hView, MSIMODIFY eModifyMode, MSIHANDLE hRecord);
/* The errors of the view's last validation, one column per call, in column
 * order (a DUPLICATEKEY first): the error's code, the column's name in the
 * buffer. Once all are read, and when there were none,
 * MSIDBERROR_NOERROR and an empty name. The buffer follows BUFFERS, except
 * that a buffer too small (including a size of 0, even for the empty name)
 * gives MSIDBERROR_MOREDATA, with *pcchBuf set to the name's length, and
 * keeps the error for the next call; a null szColumnNameBuffer likewise
 * only sets *pcchBuf and answers the error's code without moving on.
 * MSIDBERROR_INVALIDARG for a bad view handle or a null pcchBuf. */
MSIDBERROR MsiViewGetErrorW(MSIHANDLE hView, LPWSTR szColumnNameBuffer,
                            DWORD *pcchBuf);
MSIDBERROR MsiViewGetErrorA(MSIHANDLE hView, LPSTR szColumnNameBuffer,
                            DWORD *pcchBuf);

/* ---- records ------------------------------------------------------------ */
/* A new record of cParams fields (numbered 1..cParams; field 0 is the
 * template field), all null. Returns 0 when cParams exceeds 65535. */
MSIHANDLE MsiCreateRecord(UINT cParams);
/* The number of fields; -1 as UINT for a bad handle. */
UINT MsiRecordGetFieldCount(MSIHANDLE hRecord);
/* Integers come as decimal text, null as the empty text; a stream field
 * gives ERROR_INVALID_DATATYPE. See BUFFERS. */
UINT MsiRecordGetStringW(MSIHANDLE hRecord, UINT iField, LPWSTR szValueBuf,
                         DWORD *pcchValueBuf);
UINT MsiRecordGetStringA(MSIHANDLE hRecord, UINT iField, LPSTR szValueBuf,
                         DWORD *pcchValueBuf);
/* The integer; a text holding a decimal number gives that number;
 * MSI_NULL_INTEGER for null, other text, streams and bad arguments. */
int MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField);
/* Null or empty text makes the field null. */
UINT MsiRecordSetStringW(MSIHANDLE hRecord, UINT iField, LPCWSTR szValue);
UINT MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, LPCSTR szValue);
/* MSI_NULL_INTEGER makes the field null. */
UINT MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue);
/* Reads the file szFilePath into the field as a stream. */
UINT MsiRecordSetStreamW(MSIHANDLE hRecord, UINT iField, LPCWSTR szFilePath);
UINT MsiRecordSetStreamA(MSIHANDLE hRecord, UINT iField, LPCSTR szFilePath);
/* TRUE for a null field, a field beyond the count, and a bad handle. */
BOOL MsiRecordIsNull(MSIHANDLE hRecord, UINT iField);
/* Bytes of a stream, characters of a text, 4 (or 2) for an integer,
 * 0 for null. */
UINT MsiRecordDataSize(MSIHANDLE hRecord, UINT iField);
/* Reads the next *pcbDataBuf bytes of a stream field; *pcbDataBuf becomes
 * the count read (fewer at the end, 0 when done). A null szDataBuf asks
 * for the bytes remaining. Each field keeps its own read position, which
 * MsiViewFetch starts at 0. A null field (a storage's Data in _Storages
 * is one) gives ERROR_INVALID_DATA with *pcbDataBuf = 0; a text or integer
 * field gives ERROR_INVALID_DATATYPE. */
UINT MsiRecordReadStream(MSIHANDLE hRecord, UINT iField, char *szDataBuf,
                         DWORD *pcbDataBuf);
/* Makes every field null (the count stays). */
UINT MsiRecordClearData(MSIHANDLE hRecord);

/* ---- merging ------------------------------------------------------------
 * Adds every table and row of hDatabaseMerge to hDatabase (in memory, like
 * every change: MsiDatabaseCommit writes it). Before anything changes, each
 * table both have must agree over the columns both have: names, primary
 * keys and types (string columns may differ in width and localization);
 * otherwise ERROR_DATATYPE_MISMATCH and nothing is merged. A table of a
 * different length merges over the common columns (columns only the
 * target has become null). Rows identical to the target's are skipped; a
 * row whose key is taken by a row with other values is a conflict: the
 * target's row stays, the rest is merged, the conflicts are counted per
 * table in the table szTableName (columns `Table` s255 and
 * `NumRowMergeConflicts` i2, created when needed) and the result is
 * ERROR_FUNCTION_FAILED. A null szTableName records nothing; an empty one
 * gives ERROR_INVALID_TABLE. Streams of binary columns travel with their
 * rows. */
UINT MsiDatabaseMergeW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseMerge,
                       LPCWSTR szTableName);
UINT MsiDatabaseMergeA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseMerge,
                       LPCSTR szTableName);
/* ---- transforms -------------------------------------------------------
 * A transform (.mst) holds the differences between two databases. A
 * transform file is a path, or ":NAME" for a transform stored inside the
 * database's own file (as patches hold theirs). */
#define MSIDBOPEN_PATCHFILE 32 /* added to MSIDBOPEN_READONLY: open a patch (.msp) */

typedef enum tagMSITRANSFORM_ERROR {
  MSITRANSFORM_ERROR_NONE = 0,
  MSITRANSFORM_ERROR_ADDEXISTINGROW = 0x01,   /* adding a row that exists */
  MSITRANSFORM_ERROR_DELMISSINGROW = 0x02,    /* deleting a missing row */
  MSITRANSFORM_ERROR_ADDEXISTINGTABLE = 0x04, /* adding a table that exists */
  MSITRANSFORM_ERROR_DELMISSINGTABLE = 0x08,  /* dropping a missing table */
  MSITRANSFORM_ERROR_UPDATEMISSINGROW = 0x10, /* updating a missing row */
  MSITRANSFORM_ERROR_CHANGECODEPAGE = 0x20,   /* codepages differ, neither neutral */
  MSITRANSFORM_ERROR_VIEWTRANSFORM = 0x100    /* fill _TransformView instead */
} MSITRANSFORM_ERROR;

typedef enum tagMSITRANSFORM_VALIDATE {
  MSITRANSFORM_VALIDATE_LANGUAGE = 0x0001,
  MSITRANSFORM_VALIDATE_PRODUCT = 0x0002,
  MSITRANSFORM_VALIDATE_PLATFORM = 0x0004,
  MSITRANSFORM_VALIDATE_MAJORVERSION = 0x0008,
  MSITRANSFORM_VALIDATE_MINORVERSION = 0x0010,
  MSITRANSFORM_VALIDATE_UPDATEVERSION = 0x0020,
  MSITRANSFORM_VALIDATE_NEWLESSBASEVERSION = 0x0040,
  MSITRANSFORM_VALIDATE_NEWLESSEQUALBASEVERSION = 0x0080,
  MSITRANSFORM_VALIDATE_NEWEQUALBASEVERSION = 0x0100,
  MSITRANSFORM_VALIDATE_NEWGREATEREQUALBASEVERSION = 0x0200,
  MSITRANSFORM_VALIDATE_NEWGREATERBASEVERSION = 0x0400,
  MSITRANSFORM_VALIDATE_UPGRADECODE = 0x0800
} MSITRANSFORM_VALIDATE;

/* Writes the transform that turns hDatabaseReference into hDatabase:
 * tables added and dropped, columns added, rows inserted, deleted and
 * changed (only the changed cells), binary cells, the codepage. The file
 * is replaced atomically. With a null file name it only compares:
 * ERROR_NO_DATA when the databases hold the same data, else ERROR_SUCCESS.
 * The two reserved arguments must be 0. */
UINT MsiDatabaseGenerateTransformW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                   LPCWSTR szTransformFile, int iReserved1, int iReserved2);
UINT MsiDatabaseGenerateTransformA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                   LPCSTR szTransformFile, int iReserved1, int iReserved2);
/* Applies a transform; the MSITRANSFORM_ERROR bits name the conditions
 * that are not errors. All or nothing: on any failure (a damaged
 * transform, a condition not suppressed: ERROR_INSTALL_TRANSFORM_FAILURE;
 * an unreadable file: ERROR_OPEN_FAILED) the database is unchanged. With
 * MSITRANSFORM_ERROR_VIEWTRANSFORM the tables stay as they are and the
 * temporary table _TransformView (Table, Column, Row, Data, Current)
 * receives the changes instead. */
UINT MsiDatabaseApplyTransformW(MSIHANDLE hDatabase, LPCWSTR szTransformFile,
                                int iErrorConditions);
UINT MsiDatabaseApplyTransformA(MSIHANDLE hDatabase, LPCSTR szTransformFile,
                                int iErrorConditions);
/* Writes the summary information of a transform made from the two
 * databases: platforms and languages, product codes and versions of both,
 * the error conditions to suppress and the MSITRANSFORM_VALIDATE flags. */
UINT MsiCreateTransformSummaryInfoW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                    LPCWSTR szTransformFile, int iErrorConditions,
                                    int iValidation);
UINT MsiCreateTransformSummaryInfoA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                    LPCSTR szTransformFile, int iErrorConditions,
                                    int iValidation);

/* ---- summary information ---------------------------------------------
 * The property set stream \005SummaryInformation of a package: title,
 * author, template (platform;languages), package code, dates and the
 * counts the installer reads. Properties are numbered PID_CODEPAGE (1) to
 * PID_SECURITY (19); each has one stored type:
 *   VT_I2        PID_CODEPAGE
 *   VT_LPSTR     PID_TITLE .. PID_REVNUMBER, PID_APPNAME
 *   VT_FILETIME  PID_EDITTIME .. PID_LASTSAVE_DTM
 *   VT_I4        PID_PAGECOUNT, PID_WORDCOUNT, PID_CHARCOUNT, PID_SECURITY
 * Text is stored in the stream's own codepage (PID_CODEPAGE, windows-1252
 * when absent), which may differ from the database's. A damaged stream
 * gives ERROR_INVALID_DATA when the summary information is opened. */
#ifndef _WIN32
typedef struct _FILETIME {
  DWORD dwLowDateTime; /* 100 ns ticks since 1601-01-01 UTC, low half */
  DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;
#define VT_EMPTY 0
#define VT_I2 2
#define VT_I4 3
#define VT_LPSTR 30
#define VT_FILETIME 64
#endif
#define ERROR_UNKNOWN_PROPERTY 1608u /* property number beyond 19 */

#define PID_DICTIONARY 0
#define PID_CODEPAGE 1
#define PID_TITLE 2
#define PID_SUBJECT 3
#define PID_AUTHOR 4
#define PID_KEYWORDS 5
#define PID_COMMENTS 6
#define PID_TEMPLATE 7
#define PID_LASTAUTHOR 8
#define PID_REVNUMBER 9
#define PID_EDITTIME 10
#define PID_LASTPRINTED 11
#define PID_CREATE_DTM 12
#define PID_LASTSAVE_DTM 13
#define PID_PAGECOUNT 14
#define PID_WORDCOUNT 15
#define PID_CHARCOUNT 16
#define PID_THUMBNAIL 17
#define PID_APPNAME 18
#define PID_SECURITY 19
#define PID_MSIVERSION PID_PAGECOUNT
#define PID_MSISOURCE PID_WORDCOUNT
#define PID_MSIRESTRICT PID_CHARCOUNT

/* Opens the summary information of an open database (hDatabase), or of
 * the file at szDatabasePath when hDatabase is 0 (any compound file with
 * the stream: package, transform, patch; it must be writable when
 * uiUpdateCount is not 0, else ERROR_OPEN_FAILED). uiUpdateCount is how
 * many distinct properties may be set through the handle; 0 makes it
 * read-only. A new database that was never committed has no properties. */
UINT MsiGetSummaryInformationW(MSIHANDLE hDatabase, LPCWSTR szDatabasePath,
                               UINT uiUpdateCount, MSIHANDLE *phSummaryInfo);
UINT MsiGetSummaryInformationA(MSIHANDLE hDatabase, LPCSTR szDatabasePath,
                               UINT uiUpdateCount, MSIHANDLE *phSummaryInfo);
/* The number of properties that have a value. */
UINT MsiSummaryInfoGetPropertyCount(MSIHANDLE hSummaryInfo, UINT *puiPropertyCount);
/* *puiDataType is the stored type (VT_EMPTY when unset); the value goes
 * to *piValue (VT_I2, VT_I4), *pftValue (VT_FILETIME) or the text buffer
 * (VT_LPSTR, see BUFFERS); null pointers are skipped. A property number
 * beyond 19 gives ERROR_UNKNOWN_PROPERTY. */
UINT MsiSummaryInfoGetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty,
                                UINT *puiDataType, INT *piValue,
                                FILETIME *pftValue, LPWSTR szValueBuf,
                                DWORD *pcchValueBuf);
UINT MsiSummaryInfoGetPropertyA(MSIHANDLE hSummaryInfo, UINT uiProperty,
                                UINT *puiDataType, INT *piValue,
                                FILETIME *pftValue, LPSTR szValueBuf,
                                DWORD *pcchValueBuf);
/* Sets one property in memory. ERROR_DATATYPE_MISMATCH when uiDataType is
 * not the property's type (PID_DICTIONARY and PID_THUMBNAIL cannot be
 * set), ERROR_INVALID_PARAMETER for a null text or file time, or text the
 * stream's codepage cannot hold (also when a new PID_CODEPAGE cannot hold
 * the text already set), ERROR_FUNCTION_FAILED when the handle's update
 * count is used up or 0. */
UINT MsiSummaryInfoSetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty,
                                UINT uiDataType, INT iValue,
                                FILETIME *pftValue, LPCWSTR szValue);
UINT MsiSummaryInfoSetPropertyA(MSIHANDLE hSummaryInfo, UINT uiProperty,
                                UINT uiDataType, INT iValue,
                                FILETIME *pftValue, LPCSTR szValue);
/* Stores the properties. Opened from a database handle: the stream
 * becomes part of the database's changes and reaches the file with the
 * next MsiDatabaseCommit, atomically with the rest. Opened from a path:
 * the package file is replaced atomically with a copy in which only the
 * summary stream differs. ERROR_FUNCTION_FAILED when the update count was
 * 0. */
UINT MsiSummaryInfoPersist(MSIHANDLE hSummaryInfo);

/* ---- the state of a database ---------------------------------------- */
typedef enum tagMSIDBSTATE MSIENGINE_INT_ENUM {
  MSIDBSTATE_ERROR = -1, /* not a database handle */
  MSIDBSTATE_READ = 0,   /* opened read-only (MSIDBOPEN_READONLY) */
  MSIDBSTATE_WRITE = 1   /* opened to write: its changes reach the file at
                            MsiDatabaseCommit */
} MSIDBSTATE;

MSIDBSTATE MsiGetDatabaseState(MSIHANDLE hDatabase);

/* ---- the last error record ---------------------------------------------
 * The record of the last failure of the functions the installer names as
 * setting it: MsiOpenDatabase, MsiDatabaseOpenView, MsiDatabaseCommit,
 * MsiDatabaseImport, MsiDatabaseExport, MsiDatabaseMerge,
 * MsiDatabaseGenerateTransform, MsiDatabaseApplyTransform, MsiViewExecute,
 * MsiViewModify, MsiRecordSetStream and MsiGetSummaryInformation. Each of
 * them clears it when it succeeds, and so does a failure for a bad handle
 * or argument (ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER), which the
 * installer never records. Where the installer has an error number of
 * its own for the fault, field 1 is that number and fields 2.. the
 * parameters of its message, null where the message's parameter is
 * unknown; the engine's description follows as the last field:
 *   2203  MsiOpenDatabase failed: 2 the path, 3 the system error
 *         (-2147287038 for a missing file, else null)
 *   2227  an invalid name in the query (an unterminated `name`, an empty
 *         one): 2 null, 3 the name, 4 the query
 *   2228  an unknown table: 2 null, 3 the table, 4 the query
 *   2232  any other syntax fault: 2 null, 3 the token where the statement
 *         stops parsing (null at its end), 4 the query
 *   2235  an unknown column: 2 null, 3 the column, 4 the query
 *   2205  MsiDatabaseExport of a table the database lacks: 3 the table
 *   2214  MsiDatabaseExport cannot write: 3 the file
 *   2215  MsiDatabaseImport cannot read the file: 3 the file
 *   2216  MsiDatabaseImport refuses the file: 3 the file, 4 the line
 *         when one line is at fault
 *   2259  MsiDatabaseCommit failed: 2 null
 * (2227-2235 from MsiDatabaseOpenView, and from MsiViewExecute when the
 * statement's fault shows only then.) Any other failure: field 1 is the
 * result code, field 2 the engine's description when it has one. The
 * description is the text MsiExtLastErrorDescriptionA appends to the
 * code's description. Field 0 is null, so MsiFormatRecord lists the
 * fields ("1: 2228 2:  3: Error 4: SELECT ... 5: unknown table Error").
 * The record is per thread and is handed out once: a second call returns
 * 0 until another failure. 0 also when the last such call succeeded. The
 * caller closes the handle. */
MSIHANDLE MsiGetLastErrorRecord(void);

/* ---- formatting a record -------------------------------------------------
 * Formats the template in field 0 of hRecord (see BUFFERS for the result).
 * hInstall must be 0: this engine has no install sessions (any other
 * handle gives ERROR_INVALID_HANDLE), so, as the installer does without
 * one, only field references are resolved:
 *   [n]        the text of field n (integers in decimal); a null field or a
 *              number beyond the count gives nothing; [0] the template;
 *              references resolve inside out, so [[1]] is the field whose
 *              number field 1 holds;
 *   [other]    anything else that is no number, property names, [#file],
 *              [$component], [!file], [%VARIABLE], the escapes [\x] and the
 *              null character [~], stays as written;
 *   {text}     a group: without references it stays as written, braces
 *              and all; with field references only, it gives its text
 *              without braces, or nothing at all when any of them is null;
 *              with a reference that stays as written, it stays in braces
 *              with its fields filled in. {{...}} gives nothing;
 *   a null or empty template lists the fields: "1: v1 2: v2 ... ".
 * A [ that is never closed ends the references: the rest is text as
 * written. */
UINT MsiFormatRecordW(MSIHANDLE hInstall, MSIHANDLE hRecord, LPWSTR szResultBuf,
                      DWORD *pcchResultBuf);
UINT MsiFormatRecordA(MSIHANDLE hInstall, MSIHANDLE hRecord, LPSTR szResultBuf,
                      DWORD *pcchResultBuf);

/* ---- files ---------------------------------------------------------------
 * The version and language of a Windows executable or library, in the
 * form the File table stores them: "major.minor.build.revision" from the
 * fixed file information of its version resource, and the languages of
 * its translation table in decimal, comma-separated ("1033"; empty when it
 * has none). Either buffer may be left out: a null buffer with a null
 * count. Results: ERROR_FILE_NOT_FOUND (no such file),
 * ERROR_ACCESS_DENIED (it cannot be opened, or is no regular file),
 * ERROR_FILE_INVALID (not a library, or one without a version resource),
 * ERROR_INVALID_DATA (a version resource that is damaged),
 * ERROR_INVALID_PARAMETER (a null path, or a buffer without its count),
 * ERROR_MORE_DATA (a buffer too small; both counts are still set, see
 * BUFFERS). A damaged or hostile file gives one of these, never a read
 * outside it; only the few bytes the answer needs are read. */
UINT MsiGetFileVersionW(LPCWSTR szFilePath, LPWSTR lpVersionBuf, DWORD *pcchVersionBuf,
                        LPWSTR lpLangBuf, DWORD *pcchLangBuf);
UINT MsiGetFileVersionA(LPCSTR szFilePath, LPSTR lpVersionBuf, DWORD *pcchVersionBuf,
                        LPSTR lpLangBuf, DWORD *pcchLangBuf);

/* A file's hash as the MsiFileHash table stores it: its MD5 as four 32-bit
 * numbers (HashPart1..4), each from four bytes of the digest read little
 * end first. An empty file gives four zeros, as the installer's does. */
typedef struct _MSIFILEHASHINFO {
  ULONG dwFileHashInfoSize; /* set by the caller: sizeof(MSIFILEHASHINFO) */
  ULONG dwData[4];
} MSIFILEHASHINFO, *PMSIFILEHASHINFO;

/* dwOptions must be 0 and pHash->dwFileHashInfoSize the structure's size,
 * else ERROR_INVALID_PARAMETER (so too a null path or pHash).
 * ERROR_PATH_NOT_FOUND for an empty path, ERROR_FILE_NOT_FOUND for a
 * missing file, ERROR_ACCESS_DENIED for one that cannot be opened or is no
 * regular file, ERROR_READ_FAULT when reading fails part-way. */
UINT MsiGetFileHashW(LPCWSTR szFilePath, DWORD dwOptions, PMSIFILEHASHINFO pHash);
UINT MsiGetFileHashA(LPCSTR szFilePath, DWORD dwOptions, PMSIFILEHASHINFO pHash);

/* ERROR_SUCCESS when the file is an installer database this engine can
 * open (package, merge module, validation database, patch),
 * ERROR_INSTALL_PACKAGE_INVALID for anything else (a missing file, a
 * compound file without the tables, a damaged one);
 * ERROR_INVALID_PARAMETER for a null path. */
UINT MsiVerifyPackageW(LPCWSTR szPackagePath);
UINT MsiVerifyPackageA(LPCSTR szPackagePath);

/* ---- this engine's own extensions ------------------------------------- */
/* Sets a stream field from memory (the bytes are copied). */
UINT MsiExtRecordSetStreamData(MSIHANDLE hRecord, UINT iField,
                               const void *pData, DWORD cbData);
/* Reads like MsiRecordReadStream, but from byte ullOffset of the stream,
 * leaving the field's read position alone: up to *pcbDataBuf bytes, fewer
 * only at the end of the stream (0 at or past it). A large stream of a
 * package is read from the file piece by piece, so reading a stream of
 * gigabytes this way (or with MsiRecordReadStream) costs no memory of its
 * size. A null szDataBuf sets *pcbDataBuf to the bytes from ullOffset to
 * the end. ERROR_INVALID_DATA for a null field, ERROR_INVALID_DATATYPE for
 * a field that holds no stream. */
UINT MsiExtRecordReadStreamAt(MSIHANDLE hRecord, UINT iField,
                              unsigned long long ullOffset, char *szDataBuf,
                              DWORD *pcbDataBuf);
/* The engine's description of a result code, or a null pointer when it
 * has none. The texts are static: never freed, valid for the program's
 * life. */
const char *MsiExtResultDescriptionA(UINT uResult);
LPCWSTR MsiExtResultDescriptionW(UINT uResult);
/* Like MsiExtResultDescriptionA, followed by the engine's details when
 * uResult is the result of the last failed call on this thread of the
 * functions that set the last error record (see MsiGetLastErrorRecord);
 * the text stays valid until the thread's next such call. */
const char *MsiExtLastErrorDescriptionA(UINT uResult);
/* Checks szCondition against the installer's conditional statement syntax
 * (the text of a Condition column, as MsiEvaluateCondition reads it)
 * without evaluating it: no package, property or state is looked at. An
 * empty, blank or null text is a valid condition.
 * ERROR_SUCCESS            the text is a valid condition; *piOffset is 0
 *                          and the message empty.
 * ERROR_BAD_QUERY_SYNTAX   it is not; *piOffset is where it stops parsing
 *                          (in bytes for the A form, UTF-16 units for the
 *                          W form; the text's length when it ends too
 *                          soon) and the message, for people, says why,
 *                          e.g. "unterminated string".
 * ERROR_MORE_DATA          it is not, and the message did not fit (see
 *                          BUFFERS); *piOffset is set.
 * ERROR_INVALID_PARAMETER  szMessageBuf without pcchMessageBuf.
 * piOffset may be null; a null szMessageBuf and pcchMessageBuf skip the
 * message, a null szMessageBuf alone asks for its length. */
UINT MsiExtCheckConditionA(LPCSTR szCondition, DWORD *piOffset,
                           LPSTR szMessageBuf, DWORD *pcchMessageBuf);
UINT MsiExtCheckConditionW(LPCWSTR szCondition, DWORD *piOffset,
                           LPWSTR szMessageBuf, DWORD *pcchMessageBuf);

#ifdef __GNUC__
#pragma GCC visibility pop
#endif
#ifdef __cplusplus
}
#endif

#endif /* MSIENGINE_MSIQUERY_H */
