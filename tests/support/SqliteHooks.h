#pragma once
// A count of the statements that the SQLite databases of the add-in's connections ran.

#include <atomic>
#include <cstring>
#include <string>

#include "host/odbc/SqliteSession.h"

namespace testsupport {

// Statements whose text contains the watched word, run since the last reset.
class StatementCounter {
public:
    static StatementCounter& instance() {
        static StatementCounter counter;
        return counter;
    }
    void watch(const std::string& word) {
        word_ = word;
        count_ = 0;
        host::ado::setSqliteStatementObserver(&StatementCounter::observe);
    }
    int count() const { return count_; }
    void reset() { count_ = 0; }

private:
    static void observe(const char* sql) {
        auto& self = instance();
        if (sql && !self.word_.empty() && std::strstr(sql, self.word_.c_str())) ++self.count_;
    }
    std::string word_;
    std::atomic<int> count_{0};
};

}  // namespace testsupport
