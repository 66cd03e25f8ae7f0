#pragma once

#include "reports/ReportDocument.h"

class QPagedPaintDevice;

namespace reports {

// Letter paper in the document's orientation with half-inch margins. The
// caller sets it on a device before render() (a print dialog may change it
// afterwards; render() lays out on whatever page the device then has).
QPageLayout pageLayout(const Document &document);

// Lays the document out on the device's pages and paints every page: the
// page header with the picture and the run-time texts, the blocks, and the
// footer "Page n of m". The device is a QPdfWriter, or a QPrinter for the
// preview and for printing. Returns the number of pages. Throws ReportError
// when the device cannot be painted on (a PDF file that cannot be written).
int render(const Document &document, QPagedPaintDevice &device);

// Writes the document to a PDF file and returns its number of pages. Throws
// ReportError.
int writePdf(const Document &document, const QString &fileName);

} // namespace reports
