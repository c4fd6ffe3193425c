// Build step: renders README.md as "readme.pdf", the file that Help -> Readme opens.
//   readme_pdf <README.md> <readme.pdf>
#include <QFile>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Runs at build time, where there may be no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: readme_pdf <README.md> <readme.pdf>\n");
        return 2;
    }

    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "readme_pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(source.readAll()), QTextDocument::MarkdownDialectGitHub);
    // Code blocks come in as unbreakable lines; on paper a long command would run off the page.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().nonBreakableLines())
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setNonBreakableLines(false);
        QTextCursor(block).setBlockFormat(format);
    }

    // Written beside the target and renamed over it, so a failed build leaves no half a PDF.
    QSaveFile target(QString::fromLocal8Bit(argv[2]));
    if (!target.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "readme_pdf: cannot write %s\n", argv[2]);
        return 1;
    }
    {
        QPdfWriter writer(&target);
        writer.setTitle(QStringLiteral("Brightowl"));
        writer.setCreator(QStringLiteral("Brightowl build"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 18),
                                         QPageLayout::Millimeter));
        document.print(&writer);
    }
    if (!target.commit()) {
        std::fprintf(stderr, "readme_pdf: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
