#pragma once

#include <QPlainTextEdit>
#include <QString>

// The read-only command-line box. Long lines break only at blanks, never inside an option or
// a value: each break shows in place of one blank, so the text keeps its length, and what is
// copied from the box is the command line itself.
class CCommandLinePreview : public QPlainTextEdit {
public:
    explicit CCommandLinePreview(QWidget* parent);

    void SetCommandLine(const QString& text);
    const QString& CommandLine() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void BreakLines();

    QString m_text;
    int m_laidOutWidth = -1;
};
