/*
 * libmsi_oracle - libmsi's answers in the formats the tests compare with the
 * engine's. Test-only: nothing in the product links libmsi.
 *
 *   libmsi_oracle select PACKAGE STATEMENT...
 *       runs each statement read-only and prints results as msisql does: a
 *       line of column names per SELECT, then a line per row; fields
 *       separated by TAB, null empty, texts with \ TAB LF CR escaped,
 *       streams as "<N bytes>". The first failure ends the run.
 *   libmsi_oracle write PACKAGE OUTPUT STATEMENT...
 *       runs changing statements and commits to OUTPUT. Each statement
 *       prints "N\n" (its result code) and the run goes on; then
 *       "commit N\n". "transform:FILE" in place of a statement applies
 *       that transform.
 *   libmsi_oracle summary PACKAGE
 *       one line per set summary property 1..19: "PID<TAB>KIND<TAB>VALUE",
 *       KIND I (integer), S (text, escaped as above) or F (file time ticks)
 *   libmsi_oracle set-summary PACKAGE PID=KIND:VALUE...
 *       sets the properties, persists and commits
 *
 * Failures print "libmsi_oracle: error N: STEP: ..." with N the installer's
 * result code and exit 1; usage errors exit 2.
 */
#include <libmsi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* libmsi reports failures as its own enum; callers compare installer codes. */
static unsigned installer_code(const GError *error, unsigned without_reason)
{
    if (error == NULL)
        return without_reason;
    if (error->domain != LIBMSI_RESULT_ERROR)
        return 110; /* the file layer (gsf, gio) failed: the open failed */
    switch ((LibmsiResultError)error->code) {
    case LIBMSI_RESULT_SUCCESS: return 0;
    case LIBMSI_RESULT_ACCESS_DENIED: return 5;
    case LIBMSI_RESULT_INVALID_HANDLE: return 6;
    case LIBMSI_RESULT_NOT_ENOUGH_MEMORY: return 8;
    case LIBMSI_RESULT_INVALID_DATA: return 13;
    case LIBMSI_RESULT_OUTOFMEMORY: return 14;
    case LIBMSI_RESULT_INVALID_PARAMETER: return 87;
    case LIBMSI_RESULT_OPEN_FAILED: return 110;
    case LIBMSI_RESULT_CALL_NOT_IMPLEMENTED: return 120;
    case LIBMSI_RESULT_MORE_DATA: return 234;
    case LIBMSI_RESULT_NOT_FOUND: return 1168;
    case LIBMSI_RESULT_CONTINUE: return 1246;
    case LIBMSI_RESULT_UNKNOWN_PROPERTY: return 1608;
    case LIBMSI_RESULT_BAD_QUERY_SYNTAX: return 1615;
    case LIBMSI_RESULT_INVALID_FIELD: return 1616;
    case LIBMSI_RESULT_FUNCTION_FAILED: return 1627;
    case LIBMSI_RESULT_INVALID_TABLE: return 1628;
    case LIBMSI_RESULT_DATATYPE_MISMATCH: return 1629;
    case LIBMSI_RESULT_INVALID_DATATYPE: return 1804;
    }
    return 1627;
}

static unsigned code_of(GError **error)
{
    unsigned code = installer_code(*error, 1627);
    g_clear_error(error);
    return code;
}

static int fail_as(const char *step, GError *error, unsigned without_reason)
{
    fflush(stdout);
    fprintf(stderr, "libmsi_oracle: error %u: %s: %s\n", installer_code(error, without_reason), step,
            error != NULL ? error->message : "failed without a reason");
    if (error != NULL)
        g_error_free(error);
    return 1;
}

static int fail(const char *step, GError *error)
{
    return fail_as(step, error, 1627);
}

static void put_text(const char *text)
{
    for (const char *p = text; *p != '\0'; ++p) {
        switch (*p) {
        case '\\': fputs("\\\\", stdout); break;
        case '\t': fputs("\\t", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        default: putchar(*p); break;
        }
    }
}

/* ---- select --------------------------------------------------------- */

/* The size of a stream field, by reading it: libmsi gives no size call. */
static gboolean stream_size(GInputStream *in, unsigned long long *size, GError **error)
{
    char buffer[65536];
    *size = 0;
    for (;;) {
        gssize got = g_input_stream_read(in, buffer, sizeof buffer, NULL, error);
        if (got < 0)
            return FALSE;
        if (got == 0)
            return TRUE;
        *size += (unsigned long long)got;
    }
}

static int put_record(LibmsiRecord *rec, const char *step)
{
    guint count = libmsi_record_get_field_count(rec);
    for (guint i = 1; i <= count; ++i) {
        if (i > 1)
            putchar('\t');
        if (libmsi_record_is_null(rec, i))
            continue;
        GInputStream *in = libmsi_record_get_stream(rec, i);
        if (in != NULL) {
            GError *error = NULL;
            unsigned long long size = 0;
            gboolean ok = stream_size(in, &size, &error);
            g_object_unref(in);
            if (!ok)
                return fail(step, error);
            printf("<%llu bytes>", size);
            continue;
        }
        gchar *text = libmsi_record_get_string(rec, i);
        if (text != NULL)
            put_text(text);
        g_free(text);
    }
    putchar('\n');
    return 0;
}

/* Only SELECT prints: column names, then rows (as msisql). */
static gboolean is_select(const char *statement)
{
    while (g_ascii_isspace(*statement))
        ++statement;
    return g_ascii_strncasecmp(statement, "SELECT", 6) == 0 &&
           !g_ascii_isalnum(statement[6]) && statement[6] != '_';
}

/* Failures name the statement's place among the arguments (1 for the first
 * statement) so that a caller running many statements at once knows which
 * one failed. */
static int select_one(LibmsiDatabase *db, const char *statement, int number)
{
    char step[64];
    GError *error = NULL;
    LibmsiQuery *query = libmsi_query_new(db, statement, &error);
    if (query == NULL) {
        snprintf(step, sizeof step, "statement %d: opening the view", number);
        return fail(step, error);
    }
    int status = 0;
    if (!libmsi_query_execute(query, NULL, &error)) {
        snprintf(step, sizeof step, "statement %d: executing the view", number);
        status = fail(step, error);
    } else if (is_select(statement)) {
        LibmsiRecord *names = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_NAMES, &error);
        snprintf(step, sizeof step, "statement %d: reading the column names", number);
        status = names == NULL ? fail(step, error) : put_record(names, step);
        if (names != NULL)
            g_object_unref(names);
        snprintf(step, sizeof step, "statement %d: fetching a row", number);
        while (status == 0) {
            LibmsiRecord *row = libmsi_query_fetch(query, &error);
            if (row == NULL) {
                /* libmsi answers the end of the rows with no record and no error */
                if (error != NULL)
                    status = fail(step, error);
                break;
            }
            status = put_record(row, step);
            g_object_unref(row);
        }
    }
    libmsi_query_close(query, NULL);
    g_object_unref(query);
    return status;
}

/* ---- write ---------------------------------------------------------- */

static unsigned execute(LibmsiDatabase *db, const char *statement)
{
    GError *error = NULL;
    LibmsiQuery *query = libmsi_query_new(db, statement, &error);
    if (query == NULL)
        return code_of(&error);
    unsigned code = libmsi_query_execute(query, NULL, &error) ? 0 : code_of(&error);
    libmsi_query_close(query, NULL);
    g_object_unref(query);
    return code;
}

static int write_all(int count, char **args, LibmsiDatabase *db)
{
    GError *error = NULL;
    for (int i = 0; i < count; ++i) {
        if (strncmp(args[i], "transform:", 10) == 0) {
            gboolean ok = libmsi_database_apply_transform(db, args[i] + 10, &error);
            printf("%u\n", ok ? 0 : code_of(&error));
        } else {
            printf("%u\n", execute(db, args[i]));
        }
    }
    printf("commit %u\n", libmsi_database_commit(db, &error) ? 0 : code_of(&error));
    return 0;
}

/* ---- summary information ------------------------------------------- */

static int show_summary(LibmsiDatabase *db)
{
    GError *error = NULL;
    LibmsiSummaryInfo *si = libmsi_summary_info_new(db, 0, &error);
    if (si == NULL)
        return fail("reading the summary information", error);
    for (unsigned pid = 1; pid <= 19 && error == NULL; ++pid) {
        LibmsiPropertyType type = libmsi_summary_info_get_property_type(si, pid, &error);
        if (error != NULL)
            break;
        if (type == LIBMSI_PROPERTY_TYPE_INT) {
            printf("%u\tI\t%d\n", pid, libmsi_summary_info_get_int(si, pid, &error));
        } else if (type == LIBMSI_PROPERTY_TYPE_STRING) {
            const gchar *text = libmsi_summary_info_get_string(si, pid, &error);
            printf("%u\tS\t", pid);
            put_text(text != NULL ? text : "");
            putchar('\n');
        } else if (type == LIBMSI_PROPERTY_TYPE_FILETIME) {
            printf("%u\tF\t%llu\n", pid,
                   (unsigned long long)libmsi_summary_info_get_filetime(si, pid, &error));
        }
    }
    g_object_unref(si);
    return error != NULL ? fail("reading a property", error) : 0;
}

static int set_summary(int count, char **assignments, LibmsiDatabase *db)
{
    GError *error = NULL;
    LibmsiSummaryInfo *si = libmsi_summary_info_new(db, (unsigned)count, &error);
    if (si == NULL)
        return fail("reading the summary information", error);
    for (int i = 0; i < count; ++i) {
        char kind = 0;
        unsigned pid = 0;
        int used = 0;
        if (sscanf(assignments[i], "%u=%c:%n", &pid, &kind, &used) != 2 || used == 0) {
            fprintf(stderr, "libmsi_oracle: not PID=KIND:VALUE: %s\n", assignments[i]);
            return 2;
        }
        const char *value = assignments[i] + used;
        gboolean ok = kind == 'I'   ? libmsi_summary_info_set_int(si, pid, atoi(value), &error)
                      : kind == 'F' ? libmsi_summary_info_set_filetime(si, pid, strtoull(value, NULL, 10), &error)
                                    : libmsi_summary_info_set_string(si, pid, value, &error);
        if (!ok)
            return fail(assignments[i], error);
    }
    if (!libmsi_summary_info_persist(si, &error))
        return fail("persisting", error);
    g_object_unref(si);
    return libmsi_database_commit(db, &error) ? 0 : fail("committing", error);
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: libmsi_oracle select|write|summary|set-summary PACKAGE ...\n");
        return 2;
    }
    const char *command = argv[1];
    const gboolean writes = strcmp(command, "select") != 0 && strcmp(command, "summary") != 0;
    const char *output = NULL;
    int first = 3;
    if (strcmp(command, "write") == 0) {
        if (argc < 4)
            return 2;
        output = argv[3];
        first = 4;
    }
    GError *error = NULL;
    LibmsiDatabase *db = libmsi_database_new(
        argv[2], writes ? LIBMSI_DB_FLAGS_TRANSACT : LIBMSI_DB_FLAGS_READONLY, output, &error);
    if (db == NULL) {
        if (output != NULL) {
            printf("open %u\n", code_of(&error));
            return 1;
        }
        /* libmsi often fails an open without saying why */
        return fail_as("opening the package", error, 110);
    }
    int status = 2;
    if (strcmp(command, "select") == 0) {
        status = 0;
        for (int i = first; i < argc && status == 0; ++i)
            status = select_one(db, argv[i], i - first + 1);
    } else if (strcmp(command, "write") == 0) {
        status = write_all(argc - first, argv + first, db);
    } else if (strcmp(command, "summary") == 0) {
        status = show_summary(db);
    } else if (strcmp(command, "set-summary") == 0) {
        status = set_summary(argc - first, argv + first, db);
    }
    g_object_unref(db);
    if (fflush(stdout) != 0 && status == 0) {
        fprintf(stderr, "libmsi_oracle: error 29: writing the output failed\n");
        status = 1;
    }
    return status;
}
