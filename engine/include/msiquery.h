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

/* ---- basic types (the SDK's names; Windows already has them) --------- */
#ifndef _WIN32
typedef uint32_t UINT;
typedef int32_t INT;
typedef uint32_t DWORD;
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
#define ERROR_ACCESS_DENIED 5u           /* no permission to read or write */
#define ERROR_INVALID_HANDLE 6u          /* bad, closed or wrong-kind handle */
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATA 13u           /* damaged package structure or data */
#define ERROR_WRITE_FAULT 29u            /* writing the package failed */
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
                                            table or column */
#define ERROR_INSTALL_PACKAGE_INVALID 1620u /* not a package at all */
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
  MSIMODIFY_VALIDATE = 8,         /* validation modes: not implemented, */
  MSIMODIFY_VALIDATE_NEW = 9,     /* they answer */
  MSIMODIFY_VALIDATE_FIELD = 10,  /* ERROR_CALL_NOT_IMPLEMENTED */
  MSIMODIFY_VALIDATE_DELETE = 11
} MSIMODIFY;

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
 * the database, replacing a table of the same name. */
UINT MsiDatabaseImportW(MSIHANDLE hDatabase, LPCWSTR szFolderPath,
                        LPCWSTR szFileName);
UINT MsiDatabaseImportA(MSIHANDLE hDatabase, LPCSTR szFolderPath,
                        LPCSTR szFileName);
/* Exports one table to szFolderPath/szFileName in the .idt archive format;
 * binary fields go to files in a folder named after the table. */
UINT MsiDatabaseExportW(MSIHANDLE hDatabase, LPCWSTR szTableName,
                        LPCWSTR szFolderPath, LPCWSTR szFileName);
UINT MsiDatabaseExportA(MSIHANDLE hDatabase, LPCSTR szTableName,
                        LPCSTR szFolderPath, LPCSTR szFileName);

/* ---- views -------------------------------------------------------------- */
/* Runs the statement. hRecord (or 0) supplies the values of the '?'
 * markers, in order. Executing an executed view runs it again. */
UINT MsiViewExecute(MSIHANDLE hView, MSIHANDLE hRecord);
/* The next row as a new record (the caller closes it);
 * ERROR_NO_MORE_ITEMS after the last row. */
UINT MsiViewFetch(MSIHANDLE hView, MSIHANDLE *phRecord);
/* Ends the execution; the view may be executed again. */
UINT MsiViewClose(MSIHANDLE hView);
UINT MsiViewGetColumnInfo(MSIHANDLE hView, MSICOLINFO eColumnInfo,
                          MSIHANDLE *phRecord);
/* Changes rows through a view of one table; see MSIMODIFY. */
UINT MsiViewModify(MSIHANDLE hView, MSIMODIFY eModifyMode, MSIHANDLE hRecord);

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
 * MsiViewFetch starts at 0. */
UINT MsiRecordReadStream(MSIHANDLE hRecord, UINT iField, char *szDataBuf,
                         DWORD *pcbDataBuf);
/* Makes every field null (the count stays). */
UINT MsiRecordClearData(MSIHANDLE hRecord);

/* ---- this engine's own extensions ------------------------------------- */
/* Sets a stream field from memory (the bytes are copied). */
UINT MsiExtRecordSetStreamData(MSIHANDLE hRecord, UINT iField,
                               const void *pData, DWORD cbData);
/* The engine's description of a result code, or a null pointer when it
 * has none. The texts are static: never freed, valid for the program's
 * life. */
const char *MsiExtResultDescriptionA(UINT uResult);
LPCWSTR MsiExtResultDescriptionW(UINT uResult);

#ifdef __cplusplus
}
#endif

#endif /* MSIENGINE_MSIQUERY_H */
