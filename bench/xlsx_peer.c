/* The peer of the xlsx export benchmark: a plain C loop that reads the benchmark table with SQLite and
 * writes the same cells with libxlsxwriter in constant-memory mode (titles in bold, numbers, texts,
 * dates and date-times as serials with their formats, NULLs left empty, column widths). */
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xlsxwriter.h>

static int is_date_type(const char* t, int* with_time) {
    if (!t) return 0;
    *with_time = strstr(t, "TIME") != NULL;
    return strstr(t, "DATE") != NULL;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s DB OUT.xlsx\n", argv[0]);
        return 2;
    }
    sqlite3* db;
    sqlite3_stmt* st;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, NULL) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "SELECT * FROM bench", -1, &st, NULL) != SQLITE_OK) {
        fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return 1;
    }
    lxw_workbook_options options = {.constant_memory = LXW_TRUE, .use_zip64 = LXW_TRUE};
    lxw_workbook* wb = workbook_new_opt(argv[2], &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Sheet1");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "dd/mm/yyyy");
    lxw_format* stamp = workbook_add_format(wb);
    format_set_num_format(stamp, "dd/mm/yyyy hh:mm:ss");
    const int cols = sqlite3_column_count(st);
    int kind[64]; /* 0 plain, 1 date, 2 date-time */
    for (int c = 0; c < cols && c < 64; ++c) {
        int with_time = 0;
        kind[c] = is_date_type(sqlite3_column_decltype(st, c), &with_time) ? 1 + with_time : 0;
        worksheet_write_string(ws, 0, (lxw_col_t)c, sqlite3_column_name(st, c), bold);
    }
    lxw_row_t row = 1;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
            case SQLITE_FLOAT:
                worksheet_write_number(ws, row, (lxw_col_t)c, sqlite3_column_double(st, c), NULL);
                break;
            default: {
                const char* text = (const char*)sqlite3_column_text(st, c);
                if (kind[c]) {
                    lxw_datetime dt = {0};
                    sscanf(text, "%d-%d-%d %d:%d:%lf", &dt.year, &dt.month, &dt.day, &dt.hour, &dt.min, &dt.sec);
                    worksheet_write_datetime(ws, row, (lxw_col_t)c, &dt, kind[c] == 1 ? date : stamp);
                } else {
                    worksheet_write_string(ws, row, (lxw_col_t)c, text, NULL);
                }
            }
            }
        }
        ++row;
    }
    for (int c = 0; c < cols; ++c)
        worksheet_set_column(ws, (lxw_col_t)c, (lxw_col_t)c, 12, NULL);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return workbook_close(wb) == LXW_NO_ERROR ? 0 : 1;
}
