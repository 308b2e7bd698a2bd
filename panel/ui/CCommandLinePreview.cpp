#include "panel/ui/CCommandLinePreview.h"

#include <QFontMetrics>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

CCommandLinePreview::CCommandLinePreview(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // The box breaks its lines itself; the text engine would also break after hyphens.
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

void CCommandLinePreview::SetCommandLine(const QString& text)
{
    m_text = text;
    m_laidOutWidth = -1;
    BreakLines();
}

void CCommandLinePreview::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    BreakLines();
}

void CCommandLinePreview::BreakLines()
{
    const int width = viewport()->width() - 2 * static_cast<int>(document()->documentMargin()) - cursorWidth() - 1;
    if (width == m_laidOutWidth) return;
    m_laidOutWidth = width;
    const QFontMetrics metrics(font());
    QString shown = m_text;
    qsizetype lineStart = 0;
    qsizetype lastBlank = -1;
    for (qsizetype i = 0; i <= m_text.size(); ++i) {
        if (i < m_text.size() && m_text[i] != u' ') continue;
        // The words up to here overflow the line: break at the blank before them, if any.
        if (lastBlank > lineStart && metrics.horizontalAdvance(m_text.mid(lineStart, i - lineStart)) > width) {
            shown[lastBlank] = u'\n';
            lineStart = lastBlank + 1;
        }
        lastBlank = i;
    }
    setPlainText(shown);
}

QMimeData* CCommandLinePreview::createMimeDataFromSelection() const
{
    // Each line break stands for the blank it replaced.
    QString selected = textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, u' ');
    auto* data = new QMimeData;   // the caller owns it
    data->setText(selected);
    return data;
}
