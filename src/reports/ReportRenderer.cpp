#include "reports/ReportRenderer.h"

#include "reports/PhotoSection.h"
#include "reports/ReportData.h"
#include "shell/Logo.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <optional>

namespace reports {

namespace {

    const QColor kInk(0x1f, 0x3a, 0x5f); // the logo's blue: rules and caption bands
    const QColor kText(0x1a, 0x1a, 0x1a);
    const QColor kMuted(0x5a, 0x63, 0x70);
    const QColor kRule(0xb4, 0xbe, 0xcc);
    const QColor kHeaderFill(0xe4, 0xea, 0xf2);
    const QString kTick = QStringLiteral("\u2713");

    QFont makeFont(qreal points, bool bold = false, bool italic = false)
    {
        QFont font;
        font.setFamilies({ QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial") });
        // No ligatures: "fi" in a name stays two letters for whoever searches
        // or copies the PDF's text (and plain Latin text lays out faster).
        font.setStyleHint(QFont::SansSerif, QFont::PreferNoShaping);
        font.setPointSizeF(points);
        font.setBold(bold);
        font.setItalic(italic);
        return font;
    }

    // A font with its metrics on the device painted on.
    struct Face
    {
        Face(QPaintDevice *device, qreal points, bool bold = false, bool italic = false)
            : font(makeFont(points, bold, italic), device)
            , metrics(font, device)
        {
        }
        QFont font;
        QFontMetricsF metrics;
    };

    Qt::Alignment toQt(Align align)
    {
        switch (align) {
        case Align::Center:
            return Qt::AlignHCenter;
        case Align::Right:
            return Qt::AlignRight;
        case Align::Left:
            break;
        }
        return Qt::AlignLeft;
    }

    // Where each piece of a block sits on its page. Tables have a piece per
    // row; the other blocks one piece.
    struct Placement
    {
        int block;
        int part;
        qreal y;
        qreal height;
    };

    // Parts of a table besides its rows (0..n-1) and totals (n..).
    enum TablePart { kCaption = -4, kCaptionContinued = -3, kHeader = -2, kEmpty = -1 };

    // The block of a page of the photo section (its part: the page's number
    // within the section).
    constexpr int kPhotoPage = -1;

    class Renderer
    {
    public:
        Renderer(const Document &document, QPagedPaintDevice &device)
            : m_doc(document)
            , m_device(&device)
            , m_scale(device.logicalDpiY() / 72.0)
            , m_width(device.width())
            , m_pageHeight(device.height())
            , m_body(&device, 8.5)
            , m_bold(&device, 8.5, true)
            , m_italic(&device, 8.5, false, true)
            , m_label(&device, 7.5)
            , m_small(&device, 7.5)
            , m_caption(&device, 8, true)
            , m_company(&device, 13, true)
            , m_title(&device, 17, true)
            , m_heading(&device, 15, true)
            , m_subheading(&device, 9.5)
            , m_checkMark(&device, 9, true)
        {
            m_headerHeight = header(nullptr);
            m_footerHeight = pt(8) + m_small.metrics.height();
            m_bodyHeight = m_pageHeight - m_headerHeight - m_footerHeight - pt(8);
        }

        void layout();
        int pageCount() const { return int(m_pages.size()); }
        void paintPage(QPainter &painter, int page) const;

    private:
        // A table's fonts and column widths, worked out once.
        struct TableFaces
        {
            std::optional<Face> body, bold, italic;
            QList<qreal> widths;
        };

        qreal pt(qreal points) const { return points * m_scale; }

        // Wraps text into rect.width() (at word boundaries, or anywhere in a
        // word longer than the line) and paints it when painter is given.
        // Returns the height the text takes.
        qreal flow(QPainter *painter, const Face &face, const QString &text, const QRectF &rect,
            Align align = Align::Left, const QColor &colour = kText) const;

        void setTextStyle(QPainter &painter, const Face &face, const QColor &colour) const;

        // ---- the page
        // The page header's height; paints it when painter is given.
        qreal header(QPainter *painter) const;
        void paintFooter(QPainter &painter, int page) const;

        // ---- flowing blocks down the pages
        void newPage();
        bool fits(qreal height) const { return m_y + height <= m_bodyHeight + 0.01; }
        void place(int block, int part, qreal height);
        void layoutTable(int block, const Table &table);

        // ---- blocks
        qreal headingHeight(const Heading &heading) const;
        void paintHeading(QPainter &painter, const Heading &heading, const QRectF &rect) const;
        qreal bandHeight() const { return m_caption.metrics.height() + pt(5); }
        void paintBand(QPainter &painter, const QString &caption, const QRectF &rect) const;
        QList<qreal> sectionWidths(const Panels &panels) const;
        // A section's height for a width; paints it into rect when given.
        qreal section(QPainter *painter, const Section &section, const QRectF &rect) const;
        qreal item(QPainter *painter, const Item &item, const QRectF &rect) const;
        QList<qreal> columnWidths(const Table &table, const Face &headerFace, const Face &bodyFace) const;
        qreal headerHeight(const Table &table, const TableFaces &faces) const;
        void paintHeader(QPainter &painter, const Table &table, const TableFaces &faces, const QRectF &rect) const;
        qreal rowHeight(const Table &table, const QList<qreal> &widths, const Row &row, const Face &face) const;
        void paintTablePart(QPainter &painter, int block, const Table &table, int part, const QRectF &rect) const;
        void paintRow(QPainter &painter, const Table &table, const QList<qreal> &widths, const Row &row,
            const Face &face, const QRectF &rect) const;
        qreal signaturesHeight() const { return pt(30); }
        void paintSignatures(QPainter &painter, const Signatures &signatures, const QRectF &rect) const;
        void paintDrawing(QPainter &painter, const Drawing &drawing, const QRectF &rect) const;
        void paintPhotoPage(QPainter &painter, int page, const QRectF &rect) const;
        void paintPhoto(QPainter &painter, const Photo &photo, const QRectF &rect) const;
        // The text cut to two lines, the second ending in an ellipsis.
        QString twoLines(const Face &face, const QString &text, qreal width) const;

        const Document &m_doc;
        QPaintDevice *m_device;
        qreal m_scale; // device pixels per point
        qreal m_width;
        qreal m_pageHeight;
        Face m_body, m_bold, m_italic, m_label, m_small, m_caption, m_company, m_title, m_heading, m_subheading,
            m_checkMark;
        qreal m_headerHeight = 0;
        qreal m_footerHeight = 0;
        qreal m_bodyHeight = 0;

        std::vector<std::vector<Placement>> m_pages;
        qreal m_y = 0;
        mutable std::vector<TableFaces> m_tables;
        const TableFaces &tableFaces(int block, const Table &table) const;
    };

    void Renderer::setTextStyle(QPainter &painter, const Face &face, const QColor &colour) const
    {
        // A board paints a hundred thousand cells, mostly in one font and
        // colour: setting the same again costs more than the comparison.
        if (painter.font() != face.font)
            painter.setFont(face.font);
        const QPen &pen = painter.pen();
        if (pen.color() != colour || pen.widthF() != 0 || pen.style() != Qt::SolidLine)
            painter.setPen(colour);
    }

    qreal Renderer::flow(QPainter *painter, const Face &face, const QString &text, const QRectF &rect, Align align,
        const QColor &colour) const
    {
        const qreal width = std::max<qreal>(rect.width(), 1);
        const bool breaks = text.contains(u'\n');
        // One line that fits, the common case: no layout needed.
        if (!breaks) {
            const qreal advance = face.metrics.horizontalAdvance(text);
            if (advance <= width) {
                if (painter && !text.isEmpty()) {
                    qreal x = rect.left();
                    if (align == Align::Right)
                        x = rect.right() - advance;
                    else if (align == Align::Center)
                        x = rect.left() + (width - advance) / 2;
                    setTextStyle(*painter, face, colour);
                    painter->drawText(QPointF(x, rect.top() + face.metrics.ascent()), text);
                }
                return face.metrics.height();
            }
        }
        QString lines = text;
        if (breaks) {
            lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            lines.replace(u'\n', QChar::LineSeparator);
        }
        QTextLayout layout(lines, face.font, m_device);
        QTextOption option(toQt(align));
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += face.metrics.height();
        }
        layout.endLayout();
        if (painter) {
            setTextStyle(*painter, face, colour);
            layout.draw(painter, rect.topLeft());
        }
        return y;
    }

    // ---- the page

    qreal Renderer::header(QPainter *painter) const
    {
        qreal x = 0;
        qreal height = 0;
        if (m_doc.picture) {
            const qreal h = pt(42);
            const qreal w = h * Logo::kAspect;
            if (painter)
                m_doc.picture(*painter, QRectF(0, 0, w, h));
            x = w + pt(12);
            height = h;
        }
        // The report's own title at the right, as wide as its lines need; the
        // company, as the letterhead, in the rest.
        const QString printedBy = QStringLiteral("Printed by ") + m_doc.texts.printedBy;
        const qreal rightWidth = std::min(m_width * 0.5,
            std::max({ m_title.metrics.horizontalAdvance(m_doc.title), m_small.metrics.horizontalAdvance(printedBy),
                m_small.metrics.horizontalAdvance(m_doc.subtitle) })
                + pt(2));
        const qreal leftWidth = m_width - x - rightWidth - pt(12);
        qreal y = flow(painter, m_company, m_doc.texts.companyName, QRectF(x, 0, leftWidth, 0), Align::Left, kInk);
        y += pt(2);
        y += flow(painter, m_small, m_doc.texts.address, QRectF(x, y, leftWidth, 0));
        y += flow(painter, m_small, m_doc.texts.cityLine, QRectF(x, y, leftWidth, 0));
        height = std::max(height, y);

        const QRectF right(m_width - rightWidth, 0, rightWidth, 0);
        y = flow(painter, m_title, m_doc.title, right, Align::Right, kInk);
        if (!m_doc.subtitle.isEmpty())
            y += flow(painter, m_small, m_doc.subtitle, right.translated(0, y), Align::Right, kMuted);
        y += flow(painter, m_small, printedBy, right.translated(0, y), Align::Right, kMuted);
        height = std::max(height, y);

        const qreal ruleY = height + pt(6);
        if (painter) {
            painter->setPen(QPen(kInk, pt(1.4)));
            painter->drawLine(QPointF(0, ruleY), QPointF(m_width, ruleY));
        }
        return ruleY + pt(12);
    }

    void Renderer::paintFooter(QPainter &painter, int page) const
    {
        const qreal top = m_pageHeight - m_footerHeight;
        painter.setPen(QPen(kRule, pt(0.6)));
        painter.drawLine(QPointF(0, top), QPointF(m_width, top));
        const QRectF line(0, top + pt(4), m_width, 0);
        flow(&painter, m_small, m_doc.footer, QRectF(0, line.top(), m_width * 0.7, 0), Align::Left, kMuted);
        flow(&painter, m_small, QStringLiteral("Page %1 of %2").arg(page + 1).arg(pageCount()), line, Align::Right,
            kMuted);
    }

    void Renderer::paintPage(QPainter &painter, int page) const
    {
        header(&painter);
        for (const Placement &placement : m_pages.at(page)) {
            const QRectF rect(0, m_headerHeight + placement.y, m_width, placement.height);
            if (placement.block == kPhotoPage) {
                paintPhotoPage(painter, placement.part, rect);
                continue;
            }
            std::visit(
                [&](const auto &block) {
                    using T = std::decay_t<decltype(block)>;
                    if constexpr (std::is_same_v<T, Heading>) {
                        paintHeading(painter, block, rect);
                    } else if constexpr (std::is_same_v<T, Panels>) {
                        const QList<qreal> widths = sectionWidths(block);
                        qreal x = 0;
                        for (qsizetype s = 0; s < block.sections.size(); ++s) {
                            section(&painter, block.sections.at(s), QRectF(x, rect.top(), widths.at(s), rect.height()));
                            x += widths.at(s) + pt(8);
                        }
                    } else if constexpr (std::is_same_v<T, Table>) {
                        paintTablePart(painter, placement.block, block, placement.part, rect);
                    } else if constexpr (std::is_same_v<T, Signatures>) {
                        paintSignatures(painter, block, rect);
                    } else if constexpr (std::is_same_v<T, Drawing>) {
                        paintDrawing(painter, block, rect);
                    } else {
                        flow(&painter, m_small, block.text, rect, Align::Left, kMuted);
                    }
                },
                m_doc.blocks.at(placement.block));
        }
        paintFooter(painter, page);
    }

    // ---- flowing blocks down the pages

    void Renderer::newPage()
    {
        m_pages.emplace_back();
        m_y = 0;
    }

    void Renderer::place(int block, int part, qreal height)
    {
        m_pages.back().push_back({ block, part, m_y, height });
        m_y += height;
    }

    void Renderer::layout()
    {
        m_pages.clear();
        m_tables.assign(m_doc.blocks.size(), {});
        newPage();
        for (int b = 0; b < int(m_doc.blocks.size()); ++b) {
            if (m_y > 0)
                m_y += pt(7);
            const Block &block = m_doc.blocks.at(b);
            if (const auto *table = std::get_if<Table>(&block)) {
                layoutTable(b, *table);
                continue;
            }
            const qreal height = std::visit(
                [&](const auto &block) -> qreal {
                    using T = std::decay_t<decltype(block)>;
                    if constexpr (std::is_same_v<T, Heading>) {
                        return headingHeight(block);
                    } else if constexpr (std::is_same_v<T, Panels>) {
                        const QList<qreal> widths = sectionWidths(block);
                        qreal tallest = 0;
                        for (qsizetype s = 0; s < block.sections.size(); ++s)
                            tallest = std::max(
                                tallest, section(nullptr, block.sections.at(s), QRectF(0, 0, widths.at(s), 0)));
                        return tallest;
                    } else if constexpr (std::is_same_v<T, Signatures>) {
                        return signaturesHeight();
                    } else if constexpr (std::is_same_v<T, Note>) {
                        return flow(nullptr, m_small, block.text, QRectF(0, 0, m_width, 0));
                    } else if constexpr (std::is_same_v<T, Drawing>) {
                        return (block.caption.isEmpty() ? 0 : bandHeight()) + pt(block.height);
                    } else {
                        return 0;
                    }
                },
                block);
            // A block is never split: it goes whole onto the next page when
            // it does not fit (one taller than a page keeps a page to itself).
            if (!fits(height) && m_y > 0)
                newPage();
            place(b, 0, height);
        }
        if (m_doc.printPhotos) {
            const qsizetype photos = m_doc.photos.photos.size();
            for (int page = 0; page * qsizetype(kPhotosPerPage) < photos; ++page) {
                if (m_y > 0)
                    newPage();
                place(kPhotoPage, page, m_bodyHeight);
            }
        }
    }

    const Renderer::TableFaces &Renderer::tableFaces(int block, const Table &table) const
    {
        TableFaces &faces = m_tables.at(block);
        if (!faces.body) {
            faces.body.emplace(m_device, table.fontSize);
            faces.bold.emplace(m_device, table.fontSize, true);
            faces.italic.emplace(m_device, table.fontSize, false, true);
            faces.widths = columnWidths(table, *faces.bold, *faces.body);
        }
        return faces;
    }

    void Renderer::layoutTable(int block, const Table &table)
    {
        const TableFaces &faces = tableFaces(block, table);
        const qreal caption = table.caption.isEmpty() ? 0 : bandHeight();
        const qreal headerHeight = this->headerHeight(table, faces);
        const qreal emptyHeight
            = flow(nullptr, *faces.italic, table.emptyText, QRectF(0, 0, m_width - pt(8), 0)) + pt(4.4);
        qreal totals = 0;
        for (const Row &row : table.totals)
            totals += rowHeight(table, faces.widths, row, *faces.bold);

        // The caption and header never stand alone at the foot of a page.
        const qreal first = table.rows.empty() ? emptyHeight + totals
            : table.rows.size() == 1 ? rowHeight(table, faces.widths, table.rows.front(), *faces.body) + totals
                                     : rowHeight(table, faces.widths, table.rows.front(), *faces.body);
        if (!fits(caption + headerHeight + first) && m_y > 0)
            newPage();
        if (caption > 0)
            place(block, kCaption, caption);
        place(block, kHeader, headerHeight);
        if (table.rows.empty())
            place(block, kEmpty, emptyHeight);
        const int count = int(table.rows.size());
        for (int r = 0; r < count; ++r) {
            const qreal height = rowHeight(table, faces.widths, table.rows[r], *faces.body);
            // The totals stay with the last row.
            const qreal needed = r == count - 1 ? height + totals : height;
            if (!fits(needed) && m_y > caption + headerHeight + 0.01) {
                newPage();
                if (caption > 0)
                    place(block, kCaptionContinued, caption);
                place(block, kHeader, headerHeight);
            }
            place(block, r, height);
        }
        for (int t = 0; t < int(table.totals.size()); ++t)
            place(block, count + t, rowHeight(table, faces.widths, table.totals.at(t), *faces.bold));
    }

    // ---- blocks

    qreal Renderer::headingHeight(const Heading &heading) const
    {
        qreal height = m_heading.metrics.height() + pt(5);
        if (!heading.subtitle.isEmpty())
            height += m_subheading.metrics.height();
        return height;
    }

    void Renderer::paintHeading(QPainter &painter, const Heading &heading, const QRectF &rect) const
    {
        const qreal rightWidth = heading.right.isEmpty() ? 0 : m_heading.metrics.horizontalAdvance(heading.right);
        flow(&painter, m_heading, heading.title, QRectF(rect.left(), rect.top(), rect.width() - rightWidth - pt(12), 0),
            Align::Left, kText);
        flow(&painter, m_heading, heading.right, rect, Align::Right, kInk);
        if (!heading.subtitle.isEmpty())
            flow(&painter, m_subheading, heading.subtitle,
                QRectF(rect.left(), rect.top() + m_heading.metrics.height(), rect.width(), 0), Align::Left, kMuted);
    }

    void Renderer::paintBand(QPainter &painter, const QString &caption, const QRectF &rect) const
    {
        painter.fillRect(QRectF(rect.left(), rect.top(), rect.width(), bandHeight()), kInk);
        flow(&painter, m_caption, caption.toUpper(),
            QRectF(rect.left() + pt(6), rect.top() + pt(2.5), rect.width() - pt(12), 0), Align::Left, Qt::white);
    }

    QList<qreal> Renderer::sectionWidths(const Panels &panels) const
    {
        qreal weights = 0;
        for (const Section &section : panels.sections)
            weights += section.weight;
        const qreal available = m_width - pt(8) * qreal(panels.sections.size() - 1);
        QList<qreal> widths;
        for (const Section &section : panels.sections)
            widths << available * section.weight / weights;
        return widths;
    }

    qreal Renderer::section(QPainter *painter, const Section &section, const QRectF &rect) const
    {
        const qreal pad = pt(5);
        const qreal gap = pt(10);
        const int columns = std::max(1, section.columns);
        const qreal columnWidth = (rect.width() - 2 * pad - gap * (columns - 1)) / columns;
        if (painter) {
            painter->setPen(QPen(kRule, pt(0.7)));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(rect);
            paintBand(*painter, section.caption, rect);
        }
        qreal y = rect.top() + bandHeight() + pad;
        for (qsizetype first = 0; first < section.items.size(); first += columns) {
            qreal rowHeight = 0;
            for (int c = 0; c < columns && first + c < section.items.size(); ++c) {
                const QRectF cell(rect.left() + pad + c * (columnWidth + gap), y, columnWidth, 0);
                rowHeight = std::max(rowHeight, item(painter, section.items.at(first + c), cell));
            }
            y += rowHeight + pt(2.5);
        }
        return y - rect.top() - pt(2.5) + pad;
    }

    qreal Renderer::item(QPainter *painter, const Item &item, const QRectF &rect) const
    {
        switch (item.kind) {
        case Item::Field: {
            const qreal labelWidth = std::min(rect.width() * 0.42, pt(92));
            // The label sits on the value's baseline.
            const qreal drop = m_body.metrics.ascent() - m_label.metrics.ascent();
            const qreal label = flow(painter, m_label, item.label,
                QRectF(rect.left(), rect.top() + drop, labelWidth - pt(4), 0), Align::Left, kMuted);
            const qreal value = flow(painter, m_body, item.value,
                QRectF(rect.left() + labelWidth, rect.top(), rect.width() - labelWidth, 0), Align::Left, kText);
            return std::max(label + drop, value);
        }
        case Item::Check: {
            const qreal box = pt(9);
            const qreal line = std::max(box, m_body.metrics.height());
            if (painter) {
                const QRectF square(rect.left(), rect.top() + (line - box) / 2, box, box);
                painter->setPen(QPen(kText, pt(0.8)));
                painter->setBrush(Qt::NoBrush);
                painter->drawRect(square);
                if (item.checked)
                    flow(painter, m_checkMark, kTick,
                        QRectF(square.left(), square.center().y() - m_checkMark.metrics.height() / 2, box, 0),
                        Align::Center, kText);
            }
            return std::max(line,
                flow(painter, m_body, item.label,
                    QRectF(rect.left() + box + pt(5), rect.top() + (line - m_body.metrics.height()) / 2,
                        rect.width() - box - pt(5), 0)));
        }
        case Item::Text: {
            const qreal text = flow(painter, m_body, item.value, rect);
            const qreal lineHeight = m_body.metrics.height() + pt(6);
            const qreal free = item.minLines * lineHeight;
            if (painter && item.minLines > 0) {
                // Ruled lines under the text, to write on.
                painter->setPen(QPen(kRule, pt(0.5)));
                for (qreal y = rect.top() + text + lineHeight; y <= rect.top() + text + free + 0.01; y += lineHeight)
                    painter->drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
            }
            return text + free;
        }
        }
        return 0;
    }

    QList<qreal> Renderer::columnWidths(const Table &table, const Face &headerFace, const Face &bodyFace) const
    {
        // The columns share the width as their nominal widths say, but each is
        // at least as wide as the longest word of its title: titles break
        // between words, never inside one.
        static const QRegularExpression blanks(QStringLiteral("\\s+"));
        QList<qreal> minimum;
        qreal nominal = 0;
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            const Column &column = table.columns.at(c);
            qreal widest = 0;
            if (column.vertical) {
                widest = headerFace.metrics.height();
            } else {
                for (const QString &part : column.title.split(blanks, Qt::SkipEmptyParts))
                    widest = std::max(widest, headerFace.metrics.horizontalAdvance(part));
            }
            if (column.tick)
                widest = std::max(widest, m_checkMark.metrics.horizontalAdvance(kTick));
            if (column.fit) {
                for (const Row &row : table.rows)
                    widest = std::max(widest, bodyFace.metrics.horizontalAdvance(row.cells.value(c)));
                for (const Row &row : table.totals)
                    widest = std::max(widest, headerFace.metrics.horizontalAdvance(row.cells.value(c)));
            }
            minimum << widest + pt(6) + 1;
            nominal += column.width;
        }
        QList<qreal> widths(table.columns.size(), 0);
        QList<bool> fixed(table.columns.size(), false);
        qreal free = m_width;
        qreal share = nominal;
        // Fix the columns their titles make wider, then share out the rest.
        for (bool changed = true; changed && share > 0;) {
            changed = false;
            for (qsizetype c = 0; c < table.columns.size(); ++c) {
                if (fixed[c] || free * table.columns[c].width / share >= minimum[c])
                    continue;
                fixed[c] = true;
                widths[c] = minimum[c];
                free -= minimum[c];
                share -= table.columns[c].width;
                changed = true;
            }
        }
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            if (!fixed[c])
                widths[c] = share > 0 ? free * table.columns[c].width / share : 0;
        }
        return widths;
    }

    qreal Renderer::headerHeight(const Table &table, const TableFaces &faces) const
    {
        const Face &face = *faces.bold;
        qreal height = face.metrics.height();
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            const Column &column = table.columns.at(c);
            height = std::max(height,
                column.vertical ? face.metrics.horizontalAdvance(column.title) + pt(2)
                                : flow(nullptr, face, column.title, QRectF(0, 0, faces.widths.at(c) - pt(6), 0)));
        }
        return height + pt(3.6);
    }

    void Renderer::paintHeader(QPainter &painter, const Table &table, const TableFaces &faces, const QRectF &rect) const
    {
        painter.fillRect(rect, kHeaderFill);
        const Face &face = *faces.bold;
        const qreal bottom = rect.bottom() - pt(1.8);
        qreal x = rect.left();
        // Titles stand on the header's foot; tick columns' over their marks.
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            const Column &column = table.columns.at(c);
            const qreal width = faces.widths.at(c);
            if (column.vertical) {
                painter.save();
                painter.translate(x + (width + face.metrics.ascent() - face.metrics.descent()) / 2, bottom);
                painter.rotate(-90);
                painter.setFont(face.font);
                painter.setPen(kText);
                painter.drawText(QPointF(0, 0), column.title);
                painter.restore();
            } else {
                const QRectF cell(x + pt(3), 0, width - pt(6), 0);
                const qreal height = flow(nullptr, face, column.title, cell);
                flow(&painter, face, column.title, cell.translated(0, bottom - height),
                    column.tick ? Align::Center : column.align, kText);
            }
            x += width;
        }
        painter.setPen(QPen(kInk, pt(0.9)));
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    }

    qreal Renderer::rowHeight(const Table &table, const QList<qreal> &widths, const Row &row, const Face &face) const
    {
        const qreal padX = pt(3);
        qreal height = face.metrics.height();
        for (qsizetype c = 0; c < row.cells.size() && c < table.columns.size(); ++c) {
            if (table.columns.at(c).tick || row.cells.at(c).isEmpty())
                continue;
            height = std::max(height, flow(nullptr, face, row.cells.at(c), QRectF(0, 0, widths.at(c) - 2 * padX, 0)));
        }
        return height + pt(3.6);
    }

    void Renderer::paintRow(QPainter &painter, const Table &table, const QList<qreal> &widths, const Row &row,
        const Face &face, const QRectF &rect) const
    {
        if (row.tint.isValid())
            painter.fillRect(rect, row.tint);
        const qreal padX = pt(3);
        qreal x = rect.left();
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            const Column &column = table.columns.at(c);
            const QString &text = c < row.cells.size() ? row.cells.at(c) : QString();
            if (!text.isEmpty()) {
                const QRectF cell(x + padX, rect.top() + pt(1.8), widths.at(c) - 2 * padX, 0);
                if (column.tick)
                    flow(&painter, m_checkMark, kTick, cell, Align::Center, kText);
                else
                    flow(&painter, face, text, cell, column.align, kText);
            }
            x += widths.at(c);
        }
    }

    void Renderer::paintTablePart(QPainter &painter, int block, const Table &table, int part, const QRectF &rect) const
    {
        const TableFaces *faces = &tableFaces(block, table);
        const int count = int(table.rows.size());
        switch (part) {
        case kCaption:
            paintBand(painter, table.caption, rect);
            return;
        case kCaptionContinued:
            paintBand(painter, table.caption + QStringLiteral(" (continued)"), rect);
            return;
        case kHeader:
            paintHeader(painter, table, *faces, rect);
            return;
        case kEmpty:
            flow(&painter, *faces->italic, table.emptyText,
                QRectF(rect.left() + pt(4), rect.top() + pt(2.2), rect.width() - pt(8), 0), Align::Left, kMuted);
            return;
        default:
            break;
        }
        if (part < count) {
            paintRow(painter, table, faces->widths, table.rows[part], *faces->body, rect);
            painter.setPen(QPen(kRule, pt(0.4)));
            painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        } else {
            if (part == count) {
                painter.setPen(QPen(kInk, pt(0.9)));
                painter.drawLine(rect.topLeft(), rect.topRight());
            }
            paintRow(painter, table, faces->widths, table.totals.at(part - count), *faces->bold, rect);
        }
    }

    void Renderer::paintSignatures(QPainter &painter, const Signatures &signatures, const QRectF &rect) const
    {
        const qsizetype count = std::max<qsizetype>(1, signatures.labels.size());
        const qreal gap = pt(18);
        const qreal width = (rect.width() - gap * qreal(count - 1)) / qreal(count);
        for (qsizetype i = 0; i < signatures.labels.size(); ++i) {
            const qreal x = rect.left() + qreal(i) * (width + gap);
            const qreal y = rect.top() + pt(19);
            painter.setPen(QPen(kText, pt(0.7)));
            painter.drawLine(QPointF(x, y), QPointF(x + width, y));
            flow(&painter, m_label, signatures.labels.at(i), QRectF(x, y + pt(2), width, 0), Align::Left, kMuted);
        }
    }

    void Renderer::paintDrawing(QPainter &painter, const Drawing &drawing, const QRectF &rect) const
    {
        QRectF body = rect;
        if (!drawing.caption.isEmpty()) {
            paintBand(painter, drawing.caption, rect);
            body.setTop(rect.top() + bandHeight());
        }
        if (drawing.paint) {
            // The picture gets a clean painter and cannot spill over the page.
            painter.save();
            painter.setClipRect(body);
            drawing.paint(painter, body);
            painter.restore();
        }
        painter.setPen(QPen(kRule, pt(0.7)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
    }

    void Renderer::paintPhotoPage(QPainter &painter, int page, const QRectF &rect) const
    {
        const PhotoSection &section = m_doc.photos;
        paintBand(painter, page == 0 ? section.caption : section.caption + QStringLiteral(" (continued)"), rect);
        constexpr int kAcross = 2;
        constexpr int kDown = kPhotosPerPage / kAcross;
        const qreal gapX = pt(14);
        const qreal gapY = pt(12);
        const qreal top = rect.top() + bandHeight() + pt(8);
        const qreal width = (rect.width() - gapX * (kAcross - 1)) / kAcross;
        const qreal height = (rect.bottom() - top - gapY * (kDown - 1)) / kDown;
        const qsizetype first = qsizetype(page) * kPhotosPerPage;
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (qsizetype i = first; i < std::min(first + kPhotosPerPage, section.photos.size()); ++i) {
            const qsizetype at = i - first;
            paintPhoto(painter, section.photos.at(i),
                QRectF(rect.left() + qreal(at % kAcross) * (width + gapX), top + qreal(at / kAcross) * (height + gapY),
                    width, height));
        }
        painter.restore();
    }

    void Renderer::paintPhoto(QPainter &painter, const Photo &photo, const QRectF &rect) const
    {
        // Every cell keeps the same height for its texts (two lines of
        // caption, the date and the place), so that the pictures line up.
        const qreal texts = 2 * m_bold.metrics.height() + 2 * m_small.metrics.height() + pt(6);
        const QRectF box(rect.left(), rect.top(), rect.width(), rect.height() - texts);
        const PhotoSection &section = m_doc.photos;
        // The picture at the section's resolution, whatever the device's.
        const qreal perPoint = section.dpi / 72.0;
        const QSize pixels(qRound(box.width() / m_scale * perPoint), qRound(box.height() / m_scale * perPoint));
        const QImage image = section.read ? section.read(photo.id, pixels) : QImage();
        if (image.isNull()) {
            painter.fillRect(box, kHeaderFill);
            flow(&painter, m_italic, QStringLiteral("The picture cannot be read."),
                QRectF(box.left(), box.center().y() - m_italic.metrics.height() / 2, box.width(), 0), Align::Center,
                kMuted);
        } else {
            const QSizeF fitted = QSizeF(image.size()).scaled(box.size(), Qt::KeepAspectRatio);
            const QRectF target(box.left() + (box.width() - fitted.width()) / 2,
                box.top() + (box.height() - fitted.height()) / 2, fitted.width(), fitted.height());
            painter.drawImage(target, image);
            painter.setPen(QPen(kRule, pt(0.5)));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(target);
        }
        // Centred under the picture, which is centred in its cell.
        qreal y = box.bottom() + pt(4);
        y += flow(&painter, m_bold, twoLines(m_bold, photo.caption, rect.width()),
                 QRectF(rect.left(), y, rect.width(), 0), Align::Center, kText)
            + pt(2);
        y += flow(&painter, m_small, photo.taken, QRectF(rect.left(), y, rect.width(), 0), Align::Center, kMuted);
        flow(&painter, m_small, m_small.metrics.elidedText(photo.place, Qt::ElideRight, rect.width()),
            QRectF(rect.left(), y, rect.width(), 0), Align::Center, kMuted);
    }

    QString Renderer::twoLines(const Face &face, const QString &text, qreal width) const
    {
        QTextLayout layout(text, face.font, m_device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine first = layout.createLine();
        first.setLineWidth(width);
        QTextLine second = layout.createLine();
        if (second.isValid())
            second.setLineWidth(width);
        const bool more = second.isValid() && layout.createLine().isValid();
        layout.endLayout();
        if (!more)
            return text;
        const int start = second.textStart();
        return text.left(start) + face.metrics.elidedText(text.mid(start), Qt::ElideRight, width * 0.98);
    }

} // namespace

QPageLayout pageLayout(const Document &document)
{
    return QPageLayout(
        QPageSize(QPageSize::Letter), document.orientation, QMarginsF(36, 36, 36, 30), QPageLayout::Point);
}

int render(const Document &document, QPagedPaintDevice &device)
{
    Renderer renderer(document, device);
    renderer.layout();
    QPainter painter;
    if (!painter.begin(&device))
        throw ReportError(QStringLiteral("The report could not be printed: the printer or file refused it."));
    painter.setRenderHint(QPainter::Antialiasing);
    const QPageRanges ranges = device.pageRanges();
    bool first = true;
    for (int page = 0; page < renderer.pageCount(); ++page) {
        if (!ranges.isEmpty() && !ranges.contains(page + 1))
            continue;
        if (!first)
            device.newPage();
        first = false;
        renderer.paintPage(painter, page);
    }
    painter.end();
    return renderer.pageCount();
}

int writePdf(const Document &document, const QString &fileName)
{
    // Written beside and moved into place at the end: a failure leaves any
    // earlier file of that name as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("The PDF file %1 cannot be written: %2")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setTitle(document.title);
        writer.setCreator(QStringLiteral("Job Tracker"));
        writer.setPageLayout(pageLayout(document));
        pages = render(document, writer);
    }
    if (!file.commit())
        throw ReportError(QStringLiteral("The PDF file %1 cannot be written: %2")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return pages;
}

} // namespace reports
