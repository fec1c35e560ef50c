#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QTextDocument;

// Colours the keywords, string literals, quoted names and comments of the
// SQL text in a document; strings and comments may span lines.
class CSqlHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

  public:
    explicit CSqlHighlighter(QTextDocument* document);

    // The format given to each kind of text (tests compare against these).
    QTextCharFormat KeywordFormat() const { return m_fmtKeyword; }
    QTextCharFormat StringFormat() const { return m_fmtString; }
    QTextCharFormat CommentFormat() const { return m_fmtComment; }
    QTextCharFormat QuotedNameFormat() const { return m_fmtQuotedName; }

  protected:
    void highlightBlock(const QString& text) override;

  private:
    QTextCharFormat m_fmtKeyword;
    QTextCharFormat m_fmtString;
    QTextCharFormat m_fmtComment;
    QTextCharFormat m_fmtQuotedName;
};
