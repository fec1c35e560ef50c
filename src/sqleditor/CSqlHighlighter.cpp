#include "sqleditor/CSqlHighlighter.h"

#include "sqleditor/SqlSyntax.h"

#include <QColor>
#include <QFont>

CSqlHighlighter::CSqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document)
{
    // Dark colours on the white statement box; bold keywords keep the
    // statement's shape readable in a fixed-pitch font.
    m_fmtKeyword.setForeground(QColor(0x00, 0x00, 0xA0));
    m_fmtKeyword.setFontWeight(QFont::Bold);
    m_fmtString.setForeground(QColor(0xA0, 0x20, 0x00));
    m_fmtQuotedName.setForeground(QColor(0x60, 0x00, 0x80));
    m_fmtComment.setForeground(QColor(0x00, 0x70, 0x00));
    m_fmtComment.setFontItalic(true);
}

void CSqlHighlighter::highlightBlock(const QString& text)
{
    std::vector<SSqlSpan> spans;
    const int startState = previousBlockState() < 0 ? SqlLineNormal : previousBlockState();
    const int endState = ScanSqlLine(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())),
        startState, spans);
    for (const SSqlSpan& span : spans)
    {
        switch (span.kind)
        {
        case ESqlSpanKind::Keyword: setFormat(span.start, span.length, m_fmtKeyword); break;
        case ESqlSpanKind::String: setFormat(span.start, span.length, m_fmtString); break;
        case ESqlSpanKind::QuotedName: setFormat(span.start, span.length, m_fmtQuotedName); break;
        case ESqlSpanKind::Comment: setFormat(span.start, span.length, m_fmtComment); break;
        }
    }
    setCurrentBlockState(endState);
}
