#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace ostrell::bench {

// The one table the suite prints: each figure with its target and whether it met it.
class Table {
public:
    enum class Verdict { Met, Missed, Info };
    struct Row {
        std::string figure;
        std::string value;
        std::string target;
        Verdict verdict = Verdict::Info;
        std::string detail;
    };

    void add(Row row) { rows_.push_back(std::move(row)); }
    bool allMet() const;
    // A Markdown table, so that it can go into the README as it is.
    void print(std::ostream& out) const;

private:
    std::vector<Row> rows_;
};

// Number formatting for the table.
std::string fixed(double value, int decimals);
std::string grouped(double value);  // 20,000

}  // namespace ostrell::bench
