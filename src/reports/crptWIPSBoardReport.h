#pragma once

#include "reports/ReportData.h"
#include "reports/ReportDocument.h"

#include <optional>

namespace reports {

// The board on paper: the selected WIPs in landscape, one tinted line each
// (by job type, as on the board), in the order the query gives them (the
// board's: customer, job type, start date), with the count and totals at
// the end.
class crptWIPSBoardReport
{
public:
    static inline const QString kFile = QStringLiteral("WIPSBoardReport.ttx");

    // Throws ReportError when the query does not match the table.
    void setData(data::Rows query);

    // The report with the bound rows; `filters` describes the selection under
    // the title. Throws ReportError.
    Document document(const RunTexts &texts, const QString &filters);

private:
    std::optional<TableData> m_data;
};

} // namespace reports
