// The yardstick of bench/scaling: what SQLite alone costs for the value rows
// of N summary-table rows of six values each, with nothing of the program in
// between. "load N FILE" writes them into a plain table with one index, with
// one prepared INSERT in one transaction; "show FILE" reads them back in
// record order and prints how many rows and characters it read.

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void die(sqlite3 *db, const char *what)
{
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
}

int load(int rows, const char *path)
{
    std::remove(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open(path, &db) != SQLITE_OK)
        die(db, "open");
    if (sqlite3_exec(db, "CREATE TABLE v (sect INTEGER, rigo INTEGER, name TEXT, s TEXT, i INTEGER, f REAL, d TEXT);"
                         "CREATE INDEX v_i ON v (sect, rigo)", nullptr, nullptr, nullptr) != SQLITE_OK)
        die(db, "create");
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO v VALUES (118, ?, ?, ?, NULL, ?, ?)", -1, &st, nullptr) != SQLITE_OK)
        die(db, "prepare");
    static const char *const names[6] = {"SPSTMESE", "SPSTANNO", "FPSTRITOPEARTE",
                                         "FPSTIMPOVERSATO", "SPSTCODTRIBUTO", "DPSTDTVERS"};
    char text[32];
    for (int r = 0; r < rows; ++r) {
        const int month = r % 12 + 1;
        const double amount = 100 + r % 997 + (r % 100) / 100.0;
        for (int k = 0; k < 6; ++k) {
            sqlite3_bind_int64(st, 1, r + 1);
            sqlite3_bind_text(st, 2, names[k], -1, SQLITE_STATIC);
            sqlite3_bind_null(st, 3);
            sqlite3_bind_null(st, 4);
            sqlite3_bind_null(st, 5);
            switch (k) {
            case 0:
                std::snprintf(text, sizeof text, "%02d", month);
                sqlite3_bind_text(st, 3, text, -1, SQLITE_TRANSIENT);
                break;
            case 1: sqlite3_bind_text(st, 3, "2024", -1, SQLITE_STATIC); break;
            case 2:
            case 3: sqlite3_bind_double(st, 4, amount); break;
            case 4: sqlite3_bind_text(st, 3, "100E", -1, SQLITE_STATIC); break;
            default:
                std::snprintf(text, sizeof text, "2024-%02d-16", month);
                sqlite3_bind_text(st, 5, text, -1, SQLITE_TRANSIENT);
            }
            if (sqlite3_step(st) != SQLITE_DONE)
                die(db, "step");
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        die(db, "commit");
    sqlite3_close(db);
    return 0;
}

int show(const char *path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        die(db, "open");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT rigo, name, s, i, f, d FROM v WHERE sect = 118 ORDER BY rigo", -1, &st,
                           nullptr) != SQLITE_OK)
        die(db, "prepare");
    long rows = 0, chars = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 6; ++c)
            if (const unsigned char *t = sqlite3_column_text(st, c))
                chars += long(std::strlen(reinterpret_cast<const char *>(t)));
        ++rows;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::printf("%ld %ld\n", rows, chars);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "load") == 0)
        return load(std::atoi(argv[2]), argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "show") == 0)
        return show(argv[2]);
    std::fprintf(stderr, "Uso: scaling_baseline load N FILE | scaling_baseline show FILE\n");
    return 2;
}
