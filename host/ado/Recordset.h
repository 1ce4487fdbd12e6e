#pragma once
// Recordset: the rows of one statement, read in full when it is opened, as the platform's recordset
// object offers them to the add-in.

#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/odbc/ResultRows.h"

namespace host::ado {

class Connection;

inline constexpr int adOpenForwardOnly = 0;
inline constexpr int adOpenKeyset = 1;
inline constexpr int adOpenDynamic = 2;
inline constexpr int adOpenStatic = 3;
inline constexpr int adLockReadOnly = 1;
inline constexpr int adLockBatchOptimistic = 4;
inline constexpr int adAffectAll = 3;

// The columns of an open recordset.
class Fields {
public:
    long Count() const { return static_cast<long>(names_.size()); }
    // The name of field `index` (from 0); Subscript out of range beyond the fields.
    const std::string& Name(long index) const;

private:
    friend class Recordset;
    std::vector<std::string> names_;
};

class Recordset {
public:
    // Runs `source` on the open connection under its command time-out. A statement without a result
    // (an UPDATE) leaves the recordset closed. Cursor and lock types are accepted as the object model
    // takes them; the rows are always read at once. Raises kConnectionUnusable for a closed connection,
    // kObjectOpen when the recordset is open, and the driver's failure otherwise.
    void open(const std::string& source, Connection& activeConnection, int cursorType = adOpenForwardOnly,
              int lockType = adLockReadOnly);
    int state() const;
    void close();
    // Moves to the result of the text's next statement (a text of several statements on a source with
    // Connection::multipleResults); false, and the recordset closed, when there is none. Raises
    // kObjectClosed when closed.
    bool nextRecordset();
    // The number of rows; raises kObjectClosed when closed.
    long recordCount() const;

    // Sends pending changes; the rows read here carry none, so it only checks that the recordset is open.
    void updateBatch(int affectRecords = adAffectAll);

    // All rows as a [field, record] array from 0 (Null for SQL NULL). Raises kObjectClosed when closed,
    // kNoCurrentRecord when there are no rows.
    Variant getRows() const;
    // The fields; raises kObjectClosed when closed.
    const Fields& fields() const;

private:
    void requireOpen() const;
    void show(odbc::ResultRows&& result);

    bool open_ = false;
    Fields fields_;
    std::vector<Variant> values_;  // record after record, each with a value per field
    long recordCount_ = 0;
    std::vector<odbc::ResultRows> later_;  // the results of the text's later statements, the next one last
};

}  // namespace host::ado
