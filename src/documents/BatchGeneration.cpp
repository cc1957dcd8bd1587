#include "documents/BatchGeneration.h"

#include "documents/ContractDocument.h"
#include "documents/DocumentLock.h"
#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "documents/TemplateEditor.h"
#include "documents/TemplateImport.h"
#include "documents/package/PackageTemplate.h"
#include "office/WordApp.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

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

} // namespace

BatchGeneration::BatchGeneration(WordApp &word, Options options)
    : mWord(word)
    , mOptions(std::move(options))
    , mToken(QStringLiteral("%1-%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))) {}

namespace {

// With a shared server the batch works on local copies, brought up to date here on the thread that holds the
// database: the record's document and, once per batch and category, the template.
void fetchFor(BatchGeneration::Job &job, const BatchGeneration::Options &options, bool withTemplate) {
    if (!DocumentStore::active() || job.record.isEmpty())
        return;
    const QString category = job.record.value(QStringLiteral("MainTypeCode")).toString();
    if (withTemplate && !DocumentSync::fetchAnyFormat(DocumentPaths::templateFile(category), &job.fetchError))
        return;
    if (options.folder.isEmpty())
        DocumentSync::fetchAnyFormat(DocumentPaths::contractFile(job.recordId), &job.fetchError);
}

void storeOnServer(BatchGeneration::Result &result) {
    if (!DocumentStore::active() || result.kind != BatchGeneration::Result::Kind::Generated)
        return;
    const QString relative = DocumentStore::relativePath(result.document);
    if (!relative.startsWith(Database::ContractFolder))
        return;
    QString error;
    switch (DocumentStore::put(relative, &error)) {
    case DocumentStore::Outcome::Done:
        break;
    case DocumentStore::Outcome::Conflict:
        result.kind = BatchGeneration::Result::Kind::Failed;
        result.reason = QStringLiteral("其他用户同时生成或修改了该合同文档，本次生成的文档没有保存到服务器");
        return;
    case DocumentStore::Outcome::Failed:
        result.kind = BatchGeneration::Result::Kind::Failed;
        result.reason = QStringLiteral("保存文件到服务器发生错误：") + error;
        return;
    }
    const QFileInfo info(relative);
    for (const char *suffix : {"Doc", "docx", "odt"}) {
        const QString other =
            info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + QLatin1String(suffix);
        if (other != relative)
            DocumentStore::remove(other);
    }
}

// A document made in DB/ContractFile goes into the history; one made in another folder is not the record's.
bool goesIntoHistory(const BatchGeneration::Result &result) {
    return result.kind == BatchGeneration::Result::Kind::Generated &&
           DocumentStore::relativePath(result.document).startsWith(Database::ContractFolder);
}

// A document made in DB/ContractFile goes to the shared server, in place of the record's document in any format,
// and into the history.
void storeResult(BatchGeneration::Result &result) {
    storeOnServer(result);
    if (goesIntoHistory(result))
        ChangeHistory::recordDocument(result.recordId, QString(), ChangeHistory::DocumentGenerated, result.document);
}

// The history rows of a batch's documents, written together.
void recordHistory(const QList<BatchGeneration::Result> &results) {
    QList<ChangeHistory::DocumentWrite> writes;
    for (const BatchGeneration::Result &result : results) {
        if (goesIntoHistory(result))
            writes.append({result.recordId, QString(), ChangeHistory::DocumentGenerated, result.document});
    }
    ChangeHistory::recordDocuments(writes);
}

} // namespace

BatchGeneration::Job BatchGeneration::read(int recordId) {
    Job job;
    job.recordId = recordId;
    QSqlQuery query(Database::instance().connection());
    if (!execBound(query, QStringLiteral("Select * from TContractMain where ID=?"), {recordId}) || !query.next())
        return job;
    job.record = query.record();
    job.indicators =
        Indicator::ofCategory(job.record.value(QStringLiteral("MainTypeCode")).toString(), &job.indicatorsRead);
    return job;
}

QList<BatchGeneration::Job> BatchGeneration::readMany(const QList<int> &recordIds) {
    QHash<int, QSqlRecord> records;
    QSqlQuery query(Database::instance().connection());
    query.setForwardOnly(true);
    // Within what every SQLite build and the server take as bound parameters of one statement.
    constexpr qsizetype MostAtOnce = 1000;
    for (qsizetype from = 0; from < recordIds.size(); from += MostAtOnce) {
        const QList<int> some = recordIds.mid(from, MostAtOnce);
        QVariantList binds;
        binds.reserve(some.size());
        for (const int id : some)
            binds << id;
        const QString sql = QStringLiteral("Select * from TContractMain where ID in (?%1)")
                                .arg(QStringLiteral(",?").repeated(some.size() - 1));
        if (!execBound(query, sql, binds))
            continue; // these records fail as records that could not be read
        while (query.next()) {
            const QSqlRecord record = query.record();
            records.insert(record.value(QStringLiteral("ID")).toInt(), record);
        }
    }
    QHash<QString, std::pair<QList<Indicator>, bool>> indicators;
    QList<Job> jobs;
    jobs.reserve(recordIds.size());
    for (const int id : recordIds) {
        Job job;
        job.recordId = id;
        job.record = records.value(id);
        if (!job.record.isEmpty()) {
            const QString category = job.record.value(QStringLiteral("MainTypeCode")).toString();
            auto known = indicators.find(category);
            if (known == indicators.end()) {
                bool read = false;
                QList<Indicator> list = Indicator::ofCategory(category, &read);
                known = indicators.insert(category, {std::move(list), read});
            }
            job.indicators = known->first;
            job.indicatorsRead = known->second;
        }
        jobs << std::move(job);
    }
    return jobs;
}

BatchGeneration::Result BatchGeneration::run(int recordId) {
    Job job = read(recordId);
    fetchFor(job, mOptions, true);
    Result result = make(job);
    storeResult(result);
    return result;
}

BatchGeneration::Result BatchGeneration::make(const Job &job) {
    QElapsedTimer timer;
    timer.start();
    Result result = makeDocument(job);
    result.makeMs = double(timer.nsecsElapsed()) / 1e6;
    // Counted among the PDFs not written; the record's failure says why.
    if (mOptions.pdf && result.kind == Result::Kind::Failed && result.pdfError.isEmpty())
        result.pdfError = QStringLiteral("合同文档没有生成");
    return result;
}

BatchGeneration::Result BatchGeneration::makeDocument(const Job &job) {
    const int recordId = job.recordId;
    Result result;
    result.recordId = recordId;
    // Everything the document is made from was read on the database's thread: a read that failed there is not
    // tried again from here.
    if (job.record.isEmpty() || !job.indicatorsRead) {
        result.reason = QStringLiteral("读取数据库发生错误！");
        return result;
    }
    if (!job.fetchError.isEmpty()) {
        result.reason = QStringLiteral("从服务器读取文档发生错误：") + oneLine(job.fetchError);
        return result;
    }
    const QString category = job.record.value(QStringLiteral("MainTypeCode")).toString();
    if (job.checkTemplate) {
        QStringList names;
        for (const Indicator &indicator : job.indicators)
            names << indicator.PropertyName;
        QString why;
        const auto report = TemplateImport::checkReport(category, names, mWord, &why);
        for (const TemplateCheck::Finding &finding :
             report ? report->unknownMarkers : QList<TemplateCheck::Finding>()) {
            if (!result.unfilledMarkers.contains(finding.text))
                result.unfilledMarkers << finding.text;
        }
        if (report) {
            for (const TemplateCheck::ClauseFinding &finding : report->clauseProblems)
                result.clauseProblems << TemplateCheck::describe(finding);
        }
    }
    const QString name = QString::number(recordId) + QStringLiteral(".Doc");
    const bool ownFolder = mOptions.folder.isEmpty();
    const QString target = ownFolder ? DocumentPaths::contractFile(recordId) : QDir(mOptions.folder).filePath(name);
    // In DB/ContractFile the record's document in any format is its document (it is the one opened). Another
    // folder may hold the user's own files under the same numbers: only a file in the format the batch makes
    // there (the template's) counts as the record's document.
    QString existing;
    if (ownFolder) {
        existing = mFolderNames ? DocumentPaths::existingDocument(target, *mFolderNames)
                                : DocumentPaths::existingDocument(target);
    } else {
        const QString templateFile = DocumentPaths::existingTemplate(category);
        const QString file = templateFile.isEmpty() ? target : DocumentPaths::withSuffixOf(target, templateFile);
        existing = mFolderNames ? DocumentPaths::existingFile(file, *mFolderNames) : DocumentPaths::existingFile(file);
    }
    if (!existing.isEmpty()) {
        result.document = existing;
        if (const std::optional<DocumentLock::Holder> holder = DocumentLock::holder(existing)) {
            result.kind = Result::Kind::Skipped;
            result.reason = QStringLiteral("合同文档正在窗口中打开，没有覆盖（%1）").arg(holder->describe());
            if (mOptions.pdf)
                result.pdfError = QStringLiteral("合同文档正在窗口中打开");
            return result;
        }
        if (!mOptions.regenerate) {
            result.kind = Result::Kind::Skipped;
            result.reason = QStringLiteral("合同文档已经存在");
            if (mOptions.pdf)
                exportKept(existing, result);
            return result;
        }
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        result.reason = QStringLiteral("无法创建文件夹：") + QDir::toNativeSeparators(QFileInfo(target).absolutePath());
        return result;
    }

    // Made under a name of its own, then renamed into place.
    const QString staging = stagingPath(target);
    CollectingMessages messages;
    ContractDocument document(mWord, messages, QString(), staging, recordId);
    document.setShowInOffice(mOptions.pdf);
    document.setNewDocument(true);
    document.setRecordData(job.record, job.indicators);
    document.setPreparedTemplate(job.preparedTemplate);
    const ContractDocument::Preparation prepared = document.ReadyData();
    // The document is written under the name it says (the template's format), never under another case.
    const QString made = QFileInfo::exists(document.documentPath()) ? document.documentPath() : QString();
    QString stagedPdf;
    const auto fail = [&](const QString &reason) {
        if (!made.isEmpty())
            QFile::remove(made);
        if (!stagedPdf.isEmpty())
            QFile::remove(stagedPdf);
        result.kind = Result::Kind::Failed;
        result.reason = reason;
        result.pdfError.clear();
        return result;
    };
    if (prepared != ContractDocument::Preparation::Generated || made.isEmpty() || !messages.texts.isEmpty()) {
        const QString reason = messages.texts.isEmpty() ? mWord.lastError() : messages.texts.join(QLatin1Char(' '));
        return fail(oneLine(reason.isEmpty() ? QStringLiteral("合同文档没有生成") : reason));
    }

    const QString final = DocumentPaths::withSuffixOf(target, made);
    // The PDF is exported before the document takes its place and takes its own only after it: a PDF beside a
    // document always shows that document.
    if (mOptions.pdf) {
        stagedPdf = exportStaged(final, result);
        if (stagedPdf.isEmpty())
            return fail(result.pdfError);
    }
    if (std::rename(QFile::encodeName(made).constData(), QFile::encodeName(final).constData()) != 0)
        return fail(QStringLiteral("保存文件发生错误：") + QString::fromLocal8Bit(std::strerror(errno)));
    // A document of the record in another format would be opened instead of the new one.
    if (ownFolder && !existing.isEmpty() &&
        QFileInfo(existing).absoluteFilePath() != QFileInfo(final).absoluteFilePath())
        QFile::remove(existing);
    result.kind = Result::Kind::Generated;
    result.document = final;
    if (!stagedPdf.isEmpty())
        placePdf(stagedPdf, final, result);
    return result;
}

QString BatchGeneration::stagingPath(const QString &target) const {
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.batch-") + mToken + QLatin1Char('-') + info.fileName();
}

namespace {

QString pdfBeside(const QString &document) {
    const QFileInfo info(document);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".pdf");
}

} // namespace

QString BatchGeneration::exportStaged(const QString &document, Result &result) {
    const QString staged = stagingPath(pdfBeside(document));
    QElapsedTimer timer;
    timer.start();
    const bool exported = mWord.exportPdf(staged);
    result.pdfMs += double(timer.nsecsElapsed()) / 1e6;
    if (exported)
        return staged;
    QFile::remove(staged);
    const QString error = oneLine(mWord.lastError());
    result.pdfError =
        QStringLiteral("导出PDF文件发生错误") + (error.isEmpty() ? QString() : QStringLiteral("：") + error);
    return QString();
}

void BatchGeneration::placePdf(const QString &staged, const QString &document, Result &result) {
    const QString pdf = pdfBeside(document);
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(pdf).constData()) != 0) {
        result.pdfError = QStringLiteral("保存PDF文件发生错误：") + QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(staged);
        return;
    }
    result.pdf = pdf;
}

void BatchGeneration::exportKept(const QString &document, Result &result) {
    if (!mWord.connect()) {
        result.pdfError = TemplateEditor::officeMissingText();
        return;
    }
    if (!mWord.open(document)) {
        const QString error = oneLine(mWord.lastError());
        result.pdfError =
            QStringLiteral("办公软件无法打开合同文档") + (error.isEmpty() ? QString() : QStringLiteral("：") + error);
        return;
    }
    const QString staged = exportStaged(document, result);
    if (!staged.isEmpty())
        placePdf(staged, document, result);
}

int BatchGeneration::defaultWorkers() {
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

int BatchGeneration::workersWithoutOffice() {
    return std::max(QThread::idealThreadCount(), 1);
}

QList<BatchGeneration::Result> BatchGeneration::runAll(const QList<int> &recordIds, const Options &options,
                                                       const WordFactory &newWord, int workers,
                                                       const Progress &progress, Timing *timing) {
    Timing spent;
    QElapsedTimer clock;
    // A record given twice would be made twice at once, each run taking the other's files.
    QList<int> unique;
    for (const int id : recordIds) {
        if (!unique.contains(id))
            unique << id;
    }
    const QList<int> &ids = unique;
    const int total = int(ids.size());
    workers = std::clamp(workers, 1, std::max(1, total));
    spent.workers = workers;
    // Records are read here and queued a few ahead; the workers take them in turn.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<int, Job>> queue;
    std::map<int, Result> done;
    bool closed = false;
    Step step;

    // With a shared server the documents of DB/ContractFile are fetched one by one as they are read: no listing
    // made beforehand knows them.
    std::shared_ptr<const DocumentPaths::FolderNames> folderNames;
    if (!options.folder.isEmpty() || !DocumentStore::active())
        folderNames = std::make_shared<const DocumentPaths::FolderNames>(DocumentPaths::namesIn(
            options.folder.isEmpty() ? QFileInfo(DocumentPaths::contractFile(0)).absolutePath() : options.folder));
    std::vector<std::unique_ptr<QThread>> threads;
    QElapsedTimer making;
    making.start();
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back(QThread::create([&] {
            const std::unique_ptr<WordApp> word = newWord();
            // Every record needs the office for its PDF: it starts while the records are read. (Without PDFs it
            // is started by the first record whose template needs it, if any.)
            if (options.pdf) {
                QElapsedTimer started;
                started.start();
                word->connect();
                const std::lock_guard guard(mutex);
                spent.officeStartMs += double(started.nsecsElapsed()) / 1e6;
            }
            BatchGeneration batch(*word, options);
            batch.mFolderNames = folderNames;
            for (;;) {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return closed || !queue.empty(); });
                if (queue.empty())
                    break;
                auto [index, job] = std::move(queue.front());
                queue.pop_front();
                step.begun = index + 1;
                step.recordId = job.recordId;
                changed.notify_all();
                lock.unlock();
                Result result = batch.make(job);
                lock.lock();
                done.emplace(index, std::move(result));
                changed.notify_all();
            }
            word->quit();
        }));
        threads.back()->start();
    }

    QSet<QString> categories;
    QHash<QString, std::shared_ptr<const PackageTemplate::Prepared>> templates;
    // Records read ahead in one query: readAhead[i] is the record at next - readFrom + i.
    QList<Job> readAhead;
    int readFrom = 0;
    constexpr int ReadAtOnce = 1000;
    int next = 0;
    bool cancelled = false;
    Step reported;
    std::unique_lock lock(mutex);
    for (;;) {
        while (!cancelled && next < total && int(queue.size()) < workers) {
            lock.unlock();
            if (next - readFrom >= readAhead.size()) {
                clock.start();
                readFrom = next;
                readAhead = readMany(ids.mid(next, ReadAtOnce));
                spent.readMs += double(clock.nsecsElapsed()) / 1e6;
            }
            Job job = std::move(readAhead[next - readFrom]);
            const QString category = job.record.value(QStringLiteral("MainTypeCode")).toString();
            const bool firstOfCategory = !categories.contains(category);
            job.checkTemplate = !category.isEmpty() && firstOfCategory;
            fetchFor(job, options, firstOfCategory);
            categories.insert(category);
            if (firstOfCategory && !category.isEmpty()) {
                // Read once here, filled by every worker; a Word 97 template goes through the office.
                clock.start();
                const QString templateFile = DocumentPaths::existingTemplate(category);
                if (PackageTemplate::formatOf(templateFile) != PackageTemplate::Format::None)
                    templates.insert(category, std::make_shared<const PackageTemplate::Prepared>(templateFile));
                spent.templatesMs += double(clock.nsecsElapsed()) / 1e6;
            }
            job.preparedTemplate = templates.value(category);
            lock.lock();
            queue.emplace_back(next++, std::move(job));
            changed.notify_all();
        }
        if (cancelled || next == total) {
            closed = true;
            changed.notify_all();
        }
        step.done = int(done.size());
        const bool finished = closed && queue.empty() && step.done == next;
        reported = step;
        if (progress && !cancelled) {
            lock.unlock();
            const bool goOn = progress(reported);
            lock.lock();
            if (!goOn && !finished) {
                // Records queued but not begun are left out; the documents being made are finished.
                cancelled = true;
                next -= int(queue.size());
                queue.clear();
                continue;
            }
        }
        if (finished)
            break;
        changed.wait_for(lock, std::chrono::milliseconds(progress ? 50 : 1000),
                         [&] { return int(done.size()) != reported.done || step.begun != reported.begun; });
    }
    lock.unlock();
    for (const auto &thread : threads)
        thread->wait();
    spent.makeMs = double(making.nsecsElapsed()) / 1e6;
    if (timing)
        *timing = spent;
    QList<Result> results;
    for (auto &[index, result] : done) {
        storeOnServer(result);
        results << std::move(result);
    }
    recordHistory(results);
    return results;
}

QString BatchGeneration::contractNumber(int recordId) {
    const Job job = read(recordId);
    const QString number = ContractDocument::contractNumberIn(job.record, job.indicators);
    return number.isEmpty() ? QString::number(recordId) : number;
}

QStringList BatchGeneration::unfilledMarkers(const QList<Result> &results) {
    QStringList unfilled;
    for (const Result &r : results) {
        for (const QString &marker : r.unfilledMarkers) {
            if (!unfilled.contains(marker))
                unfilled << marker;
        }
    }
    return unfilled;
}

QStringList BatchGeneration::clauseProblems(const QList<Result> &results) {
    QStringList problems;
    for (const Result &r : results) {
        for (const QString &problem : r.clauseProblems) {
            if (!problems.contains(problem))
                problems << problem;
        }
    }
    return problems;
}

QString BatchGeneration::summary(const QList<Result> &results, int requested) {
    int generated = 0;
    int skipped = 0;
    int failed = 0;
    int pdfs = 0;
    int pdfsMissing = 0;
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
        if (!r.pdf.isEmpty())
            ++pdfs;
        if (!r.pdfError.isEmpty()) {
            ++pdfsMissing;
            if (r.kind != Result::Kind::Failed)
                lines << QStringLiteral("没有导出PDF 记录 %1：%2").arg(r.recordId).arg(r.pdfError);
        }
    }
    QString text = QStringLiteral("已生成 %1 份，跳过 %2 份，失败 %3 份。").arg(generated).arg(skipped).arg(failed);
    if (pdfs > 0 || pdfsMissing > 0) {
        text += QStringLiteral("\n已导出PDF文件 %1 份").arg(pdfs);
        if (pdfsMissing > 0)
            text += QStringLiteral("，%1 份没有导出").arg(pdfsMissing);
        text += QStringLiteral("。");
    }
    if (requested > results.size())
        text.prepend(QStringLiteral("已取消，其余 %1 份没有生成。\n").arg(requested - results.size()));
    if (!lines.isEmpty())
        text += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    const QStringList unfilled = unfilledMarkers(results);
    if (!unfilled.isEmpty())
        text +=
            QStringLiteral("\n模板中以下标记没有对应的指标，在文档中没有填写：") + unfilled.join(QStringLiteral("、"));
    if (const QStringList problems = clauseProblems(results); !problems.isEmpty())
        text += QStringLiteral("\n模板中的条件段落有以下问题：\n") + problems.join(QLatin1Char('\n'));
    return text;
}
