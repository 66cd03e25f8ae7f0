#pragma once

#include "reports/ReportDocument.h"

#include "data/Database.h"

namespace reports {

// The work order: one WIP laid out as the office hands it to a crew, with
// the time and subcontractor subreports. Each table is bound to an executed
// query, which is checked against the table's field definition and read
// there and then (so no two result sets are ever open on the connection).
class crptWIPDetailReport
{
public:
    static inline const QString kMainFile = QStringLiteral("WIPDetailReport.ttx");
    static inline const QString kContractorFile = QStringLiteral("WIPDetailReport_Contractor.ttx");
    static inline const QString kTimeFile = QStringLiteral("WIPDetailReport_Time.ttx");

    crptWIPDetailReport();

    // Throw ReportError when the query does not match the table, holds a
    // value of the wrong kind, or (the main table) has no row.
    void setMainData(data::Rows query);
    void setContractorData(data::Rows query);
    void setTimeData(data::Rows query);

    // The report with the page header's texts. Throws ReportError when a
    // table was not bound.
    Document document(const RunTexts &texts) const;

private:
    Document m_main; // the WIP's own blocks
    double m_totalHours = 0;
    bool m_hasMain = false;
    Note m_stamps;
    Table m_time;
    Section m_milestones;
    Section m_notes;
    Section m_contractors;
    bool m_hasTime = false;
    bool m_hasContractors = false;
};

} // namespace reports
