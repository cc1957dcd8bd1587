#include "documents/BatchGeneration.h"

#include "documents/ContractDocument.h"
#include "documents/DocumentLock.h"
#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "documents/TemplateEditor.h"
#include "documents/TemplateImport.h"
#include "office/WordApp.h"
#include "package/PackageTemplate.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/ContractStore.h"
#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
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

BatchGeneration::BatchGeneration(Database &database, WordApp &word, Options options)
    : mDb(database)
    , mWord(word)
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
void recordHistory(Database &database, const QList<BatchGeneration::Result> &results) {
    QList<ChangeHistory::DocumentWrite> writes;
    for (const BatchGeneration::Result &result : results) {
        if (goesIntoHistory(result))
            writes.append({result.recordId, QString(), ChangeHistory::DocumentGenerated, result.document});
    }
    ChangeHistory::recordDocuments(database, writes);
}

} // namespace

BatchGeneration::Job BatchGeneration::read(Database &database, int recordId) {
    Job job;
    job.recordId = recordId;
    job.record = ContractStore(database).recordById(recordId);
    if (job.record.isEmpty())
        return job;
    job.indicators =
        Indicator::ofCategory(job.record.value(QStringLiteral("MainTypeCode")).toString(), &job.indicatorsRead);
    return job;
}

QList<BatchGeneration::Job> BatchGeneration::readMany(Database &database, const QList<int> &recordIds) {
    // Records that could not be read fail as records that are gone.
    const QHash<int, QSqlRecord> records = ContractStore(database).recordsById(recordIds);
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
    Job job = read(mDb, recordId);
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
    Result result;
    result.recordId = job.recordId;
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
    if (job.checkTemplate)
        reportTemplate(job, category, result);
    const QString name = QString::number(job.recordId) + QStringLiteral(".Doc");
    const bool ownFolder = mOptions.folder.isEmpty();
    const QString target = ownFolder ? DocumentPaths::contractFile(job.recordId) : QDir(mOptions.folder).filePath(name);
    const QString existing = existingDocument(target, category);
    if (!existing.isEmpty() && keepsExisting(existing, result))
        return result;
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        result.reason = QStringLiteral("无法创建文件夹：") + QDir::toNativeSeparators(QFileInfo(target).absolutePath());
        return result;
    }
    makeInPlaceOf(job, target, existing, result);
    return result;
}

void BatchGeneration::reportTemplate(const Job &job, const QString &category, Result &result) {
    QStringList names;
    for (const Indicator &indicator : job.indicators)
        names << indicator.PropertyName;
    QString why;
    const auto report = TemplateImport::checkReport(category, names, mWord, &why);
    if (!report)
        return;
    for (const TemplateCheck::Finding &finding : report->unknownMarkers) {
        if (!result.unfilledMarkers.contains(finding.text))
            result.unfilledMarkers << finding.text;
    }
    for (const TemplateCheck::ClauseFinding &finding : report->clauseProblems)
        result.clauseProblems << TemplateCheck::describe(finding);
}

QString BatchGeneration::existingDocument(const QString &target, const QString &category) const {
    // In DB/ContractFile the record's document in any format is its document (it is the one opened). Another
    // folder may hold the user's own files under the same numbers: only a file in the format the batch makes
    // there (the template's) counts as the record's document.
    if (mOptions.folder.isEmpty())
        return mFolderNames ? DocumentPaths::existingDocument(target, *mFolderNames)
                            : DocumentPaths::existingDocument(target);
    const QString templateFile = DocumentPaths::existingTemplate(category);
    const QString file = templateFile.isEmpty() ? target : DocumentPaths::withSuffixOf(target, templateFile);
    return mFolderNames ? DocumentPaths::existingFile(file, *mFolderNames) : DocumentPaths::existingFile(file);
}

bool BatchGeneration::keepsExisting(const QString &existing, Result &result) {
    result.document = existing;
    if (const std::optional<DocumentLock::Holder> holder = DocumentLock::holder(existing)) {
        result.kind = Result::Kind::Skipped;
        result.reason = QStringLiteral("合同文档正在窗口中打开，没有覆盖（%1）").arg(holder->describe());
        if (mOptions.pdf)
            result.pdfError = QStringLiteral("合同文档正在窗口中打开");
        return true;
    }
    if (mOptions.regenerate)
        return false;
    result.kind = Result::Kind::Skipped;
    result.reason = QStringLiteral("合同文档已经存在");
    if (mOptions.pdf)
        exportKept(existing, result);
    return true;
}

void BatchGeneration::makeInPlaceOf(const Job &job, const QString &target, const QString &existing, Result &result) {
    // Made under a name of its own, then renamed into place.
    const QString staging = stagingPath(target);
    CollectingMessages messages;
    const Messages::Redirect toTheRecord(messages);
    ContractDocument document(mWord, QString(), staging, job.recordId);
    document.setShowInOffice(mOptions.pdf);
    document.setNewDocument(true);
    document.setRecordData(job.record, job.indicators);
    document.setPreparedTemplate(job.preparedTemplate);
    const ContractDocument::Preparation prepared = document.prepare();
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
    if (mOptions.folder.isEmpty() && !existing.isEmpty() &&
        QFileInfo(existing).absoluteFilePath() != QFileInfo(final).absoluteFilePath())
        QFile::remove(existing);
    result.kind = Result::Kind::Generated;
    result.document = final;
    if (!stagedPdf.isEmpty())
        placePdf(stagedPdf, final, result);
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

namespace {

// A record given twice would be made twice at once, each run taking the other's files.
QList<int> withoutRepeats(const QList<int> &recordIds) {
    QList<int> unique;
    for (const int id : recordIds) {
        if (!unique.contains(id))
            unique << id;
    }
    return unique;
}

// The documents' folder listed once for the batch. With a shared server the documents of DB/ContractFile are
// fetched one by one as they are read: no listing made beforehand knows them, so there is none.
std::shared_ptr<const DocumentPaths::FolderNames> listedFolder(const BatchGeneration::Options &options) {
    if (options.folder.isEmpty() && DocumentStore::active())
        return nullptr;
    return std::make_shared<const DocumentPaths::FolderNames>(DocumentPaths::namesIn(
        options.folder.isEmpty() ? QFileInfo(DocumentPaths::contractFile(0)).absolutePath() : options.folder));
}

// The jobs of a batch in the order of its records, read on the calling thread a thousand records at a time; the
// first record of each category also checks the template, and a .docx/.odt template is read once for all.
class JobSource {
public:
    JobSource(Database &database, const QList<int> &ids, const BatchGeneration::Options &options,
              BatchGeneration::Timing &spent)
        : mDb(database)
        , mIds(ids)
        , mOptions(options)
        , mSpent(spent) {}

    BatchGeneration::Job take(int index) {
        QElapsedTimer clock;
        if (index - mReadFrom >= mReadAhead.size()) {
            clock.start();
            mReadFrom = index;
            mReadAhead = BatchGeneration::readMany(mDb, mIds.mid(index, ReadAtOnce));
            mSpent.readMs += double(clock.nsecsElapsed()) / 1e6;
        }
        BatchGeneration::Job job = std::move(mReadAhead[index - mReadFrom]);
        const QString category = job.record.value(QStringLiteral("MainTypeCode")).toString();
        const bool firstOfCategory = !mCategories.contains(category);
        job.checkTemplate = !category.isEmpty() && firstOfCategory;
        fetchFor(job, mOptions, firstOfCategory);
        mCategories.insert(category);
        if (firstOfCategory && !category.isEmpty()) {
            // Read once here, filled by every worker; a Word 97 template goes through the office.
            clock.start();
            const QString templateFile = DocumentPaths::existingTemplate(category);
            if (PackageTemplate::formatOf(templateFile) != PackageTemplate::Format::None)
                mTemplates.insert(category, std::make_shared<const PackageTemplate::Prepared>(templateFile));
            mSpent.templatesMs += double(clock.nsecsElapsed()) / 1e6;
        }
        job.preparedTemplate = mTemplates.value(category);
        return job;
    }

private:
    static constexpr int ReadAtOnce = 1000;

    Database &mDb;
    const QList<int> &mIds;
    const BatchGeneration::Options &mOptions;
    BatchGeneration::Timing &mSpent;
    // Records read ahead in one query: mReadAhead[i] is the record at mReadFrom + i.
    QList<BatchGeneration::Job> mReadAhead;
    int mReadFrom = 0;
    QSet<QString> mCategories;
    QHash<QString, std::shared_ptr<const PackageTemplate::Prepared>> mTemplates;
};

} // namespace

// What the threads of one batch share: the jobs read and not yet begun, the documents finished, where the batch
// stands. Guarded by mutex; `changed` wakes whoever waits for any of it.
struct BatchGeneration::Run {
    Run(Database &database, const Options &options)
        : database(database)
        , options(options)
        , folderNames(listedFolder(options)) {}

    Database &database;
    const Options &options;
    std::shared_ptr<const DocumentPaths::FolderNames> folderNames;
    Timing spent;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<int, Job>> queue;
    std::map<int, Result> done;
    bool closed = false; // no further job comes
    Step step;

    // One worker: its own office, the jobs in turn until the queue is closed and empty.
    void work(const WordFactory &newWord) {
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
        BatchGeneration batch(database, *word, options);
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
    }
};

QList<BatchGeneration::Result> BatchGeneration::runAll(Database &database, const QList<int> &recordIds,
                                                       const Options &options, const WordFactory &newWord, int workers,
                                                       const Progress &progress, Timing *timing) {
    const QList<int> ids = withoutRepeats(recordIds);
    const int total = int(ids.size());
    Run run(database, options);
    workers = std::clamp(workers, 1, std::max(1, total));
    run.spent.workers = workers;
    std::vector<std::unique_ptr<QThread>> threads;
    QElapsedTimer making;
    making.start();
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back(QThread::create([&run, &newWord] { run.work(newWord); }));
        threads.back()->start();
    }

    // Records are read here and queued a few ahead; the workers take them in turn.
    JobSource source(database, ids, options, run.spent);
    int next = 0;
    bool cancelled = false;
    Step reported;
    std::unique_lock lock(run.mutex);
    for (;;) {
        while (!cancelled && next < total && int(run.queue.size()) < workers) {
            lock.unlock();
            Job job = source.take(next);
            lock.lock();
            run.queue.emplace_back(next++, std::move(job));
            run.changed.notify_all();
        }
        if (cancelled || next == total) {
            run.closed = true;
            run.changed.notify_all();
        }
        run.step.done = int(run.done.size());
        const bool finished = run.closed && run.queue.empty() && run.step.done == next;
        reported = run.step;
        if (progress && !cancelled) {
            lock.unlock();
            const bool goOn = progress(reported);
            lock.lock();
            if (!goOn && !finished) {
                // Records queued but not begun are left out; the documents being made are finished.
                cancelled = true;
                next -= int(run.queue.size());
                run.queue.clear();
                continue;
            }
        }
        if (finished)
            break;
        run.changed.wait_for(lock, std::chrono::milliseconds(progress ? 50 : 1000),
                             [&] { return int(run.done.size()) != reported.done || run.step.begun != reported.begun; });
    }
    lock.unlock();
    for (const auto &thread : threads)
        thread->wait();
    run.spent.makeMs = double(making.nsecsElapsed()) / 1e6;
    if (timing)
        *timing = run.spent;
    QList<Result> results;
    for (auto &[index, result] : run.done) {
        storeOnServer(result);
        results << std::move(result);
    }
    recordHistory(database, results);
    return results;
}

QString BatchGeneration::contractNumber(Database &database, int recordId) {
    const Job job = read(database, recordId);
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
