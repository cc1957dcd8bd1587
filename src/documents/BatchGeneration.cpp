#include "BatchGeneration.h"

#include "ContractDocument.h"
#include "DocumentPaths.h"
#include "Messages.h"
#include "TDM.h"
#include "WordApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The generation's messages, kept as the record's reason instead of being shown one by one during the batch.
class CollectingMessages final : public Messages {
public:
    void information(const QString &text) override { texts << text; }
    void warning(const QString &text) override { texts << text; }
    bool question(const QString &text) override {
        texts << text;
        return false;
    }
    SaveChoice saveQuestion(const QString &) override { return SaveChoice::Discard; }
    std::optional<QString> inputText(const QString &, const QString &, const QString &) override { return {}; }
    QString passwordPrompt(const QString &, const QString &) override { return {}; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }

    QStringList texts;
};

QString oneLine(const QString &text) {
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.simplified();
}

// The office's own lock file: the document is open in a window of this or another program.
bool openElsewhere(const QString &document) {
    const QFileInfo info(document);
    return QFileInfo::exists(info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#'));
}

} // namespace

BatchGeneration::BatchGeneration(WordApp &word, Options options)
    : mWord(word)
    , mOptions(std::move(options)) {}

BatchGeneration::Result BatchGeneration::run(int recordId) {
    Result result;
    result.recordId = recordId;
    const QString name = QString::number(recordId) + QStringLiteral(".Doc");
    const QString target =
        mOptions.folder.isEmpty() ? DocumentPaths::contractFile(recordId) : QDir(mOptions.folder).filePath(name);
    const QString existing = DocumentPaths::existingDocument(target);
    if (!existing.isEmpty()) {
        result.document = existing;
        if (openElsewhere(existing)) {
            result.kind = Result::Kind::Skipped;
            result.reason = QStringLiteral("合同文档正在窗口中打开，没有覆盖");
            return result;
        }
        if (!mOptions.regenerate) {
            result.kind = Result::Kind::Skipped;
            result.reason = QStringLiteral("合同文档已经存在");
            return result;
        }
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        result.reason = QStringLiteral("无法创建文件夹：") + QDir::toNativeSeparators(QFileInfo(target).absolutePath());
        return result;
    }

    // Made under a name of its own, then renamed into place.
    const QString staging = QFileInfo(target).absolutePath() + QStringLiteral("/.batch-") + name;
    CollectingMessages messages;
    ContractDocument document(mWord, messages, QString(), staging, recordId);
    document.setShowInOffice(mOptions.pdf);
    const ContractDocument::Preparation prepared = document.ReadyData();
    const QString made = DocumentPaths::existingDocument(staging);
    const auto fail = [&](const QString &reason) {
        if (!made.isEmpty())
            QFile::remove(made);
        result.kind = Result::Kind::Failed;
        result.reason = reason;
        return result;
    };
    if (prepared != ContractDocument::Preparation::Generated || made.isEmpty() || !messages.texts.isEmpty()) {
        const QString reason = messages.texts.isEmpty() ? mWord.lastError() : messages.texts.join(QLatin1Char(' '));
        return fail(oneLine(reason.isEmpty() ? QStringLiteral("合同文档没有生成") : reason));
    }

    const QString final = DocumentPaths::withSuffixOf(target, made);
    if (mOptions.pdf) {
        const QString pdf = QFileInfo(final).absolutePath() + QLatin1Char('/') + QFileInfo(final).completeBaseName() +
                            QStringLiteral(".pdf");
        if (!mWord.exportPdf(pdf)) {
            QFile::remove(pdf);
            return fail(oneLine(mWord.lastError()));
        }
    }
    if (std::rename(QFile::encodeName(made).constData(), QFile::encodeName(final).constData()) != 0)
        return fail(QStringLiteral("保存文件发生错误：") + QString::fromLocal8Bit(std::strerror(errno)));
    // A document of the record in another format would be opened instead of the new one.
    if (!existing.isEmpty() && QFileInfo(existing).absoluteFilePath() != QFileInfo(final).absoluteFilePath())
        QFile::remove(existing);
    result.kind = Result::Kind::Generated;
    result.document = final;
    return result;
}

QString BatchGeneration::contractNumber(int recordId) {
    QSqlQuery query(TDM::instance().ADOLocal());
    QString number;
    if (execBound(query, QStringLiteral("Select * from TContractMain where ID=?"), {recordId}) && query.next())
        number = ContractDocument::contractNumberIn(query.record());
    return number.isEmpty() ? QString::number(recordId) : number;
}

QString BatchGeneration::summary(const QList<Result> &results) {
    int generated = 0;
    int skipped = 0;
    int failed = 0;
    QStringList lines;
    for (const Result &r : results) {
        switch (r.kind) {
        case Result::Kind::Generated:
            ++generated;
            break;
        case Result::Kind::Skipped:
            ++skipped;
            lines << QStringLiteral("跳过 记录 %1：%2").arg(r.recordId).arg(r.reason);
            break;
        case Result::Kind::Failed:
            ++failed;
            lines << QStringLiteral("失败 记录 %1：%2").arg(r.recordId).arg(r.reason);
            break;
        }
    }
    QString text = QStringLiteral("已生成 %1 份，跳过 %2 份，失败 %3 份。").arg(generated).arg(skipped).arg(failed);
    if (!lines.isEmpty())
        text += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    return text;
}
