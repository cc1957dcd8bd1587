// Filling .docx/.odt templates in the program: the demo lease template and a template of 80 markers × 3 (with a
// table and a page header), both made by the office from flat OpenDocument sources before timing starts. The lease
// is also timed without its optional clauses and with ten of them (five kept, five removed), and docxtemplater
// gets the same ten as its own sections ([<#name>] … [</name>]).
// scripts/bench.sh times docxtemplater on the same files with the same values (docxtemplater-fill.js); it reads
// them from the folder named by VANTREL_BENCH_FILES, where this program leaves them.
//
//   VANTREL_BENCH_FILES=/tmp/f bench_package_template --benchmark_repetitions=3

#include "package/PackageTemplate.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

namespace {

using Pairs = QList<QPair<QString, QString>>;

constexpr int Markers = 80;
constexpr int Occurrences = 3;

QString gFolder;
Pairs gLease;
Pairs gLeaseClauses;
Pairs gLarge;

// The demo category's indicators with the first demo record's values and units.
Pairs leasePairs() {
    const char16_t *const values[][2] = {
        {u"合同编号", u"FZ20261125001"},
        {u"出租方", u"北京安居房地产经纪有限公司"},
        {u"承租方", u"王晓明"},
        {u"房屋坐落", u"北京市海淀区中关村大街18号3号楼502室"},
        {u"房屋用途", u"住宅"},
        {u"建筑面积", u"89.50平方米"},
        {u"月租金", u"6800.00元"},
        {u"租期", u"12个月"},
        {u"租金总额", u"81600.00元"},
        {u"租金总额大写", u"捌万壹仟陆佰元整"},
        {u"押金", u"13600.00元"},
        {u"付款方式", u"按月支付"},
        {u"起租日期", u"2026-12-01"},
        {u"签订日期", u"2026-11-25"},
        {u"签订日期大写", u"二〇二六年十一月二十五日"},
    };
    Pairs pairs;
    for (const auto &value : values)
        pairs.append(
            {QStringLiteral("[<") + QString::fromUtf16(value[0]) + QStringLiteral(">]"), QString::fromUtf16(value[1])});
    return pairs;
}

// The lease template without any optional clause, and with ten: every second on an indicator without a value.
// sections: docxtemplater's form of the same clauses.
QByteArray leaseVariant(const QByteArray &demo, int clauses, bool sections) {
    QString text = QString::fromUtf8(demo);
    text.remove(QRegularExpression(QStringLiteral("\\[&lt;否则&gt;\\][^\\[<]*")));
    text.remove(QRegularExpression(QStringLiteral("\\[&lt;(如果:[^&]*|结束)&gt;\\]")));
    static const QRegularExpression paragraph(
        QStringLiteral("<text:p text:style-name=\"(Body|Heading)\">(.*?)</text:p>"));
    QString out;
    qsizetype last = 0;
    int done = 0;
    for (auto it = paragraph.globalMatch(text); it.hasNext() && done < clauses; ++done) {
        const auto m = it.next();
        const QString name = done % 2 ? QStringLiteral("担保人") : QStringLiteral("出租方");
        const QString open =
            sections ? QStringLiteral("[&lt;#%1&gt;]").arg(name) : QStringLiteral("[&lt;如果:%1&gt;]").arg(name);
        const QString close = sections ? QStringLiteral("[&lt;/%1&gt;]").arg(name) : QStringLiteral("[&lt;结束&gt;]");
        out += text.mid(last, m.capturedStart() - last);
        out += QStringLiteral("<text:p text:style-name=\"%1\">%2%3%4</text:p>")
                   .arg(m.captured(1), open, m.captured(2), close);
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out.toUtf8();
}

Pairs largePairs() {
    Pairs pairs;
    for (int m = 0; m < Markers; ++m)
        pairs.append({QStringLiteral("[<指标%1>]").arg(m), QStringLiteral("值%1元").arg(m)});
    return pairs;
}

QByteArray largeSource() {
    QString body;
    const QString filler =
        QStringLiteral("双方应本着诚实信用的原则履行本合同约定的各项义务，任何一方不得擅自变更或解除合同。");
    for (int o = 0; o < Occurrences; ++o) {
        for (int m = 0; m < Markers; ++m)
            body += QStringLiteral("<text:p>第%1条：本合同约定的指标%2为[&lt;指标%2&gt;]，%3</text:p>\n")
                        .arg(o * Markers + m + 1)
                        .arg(m)
                        .arg(filler);
    }
    body += QStringLiteral("<table:table table:name=\"T\"><table:table-column table:number-columns-repeated=\"2\"/>");
    for (int t = 0; t < 12; ++t)
        body +=
            QStringLiteral("<table:table-row><table:table-cell><text:p>项目%1</text:p></table:table-cell>"
                           "<table:table-cell><text:p>[&lt;指标%1&gt;]</text:p></table:table-cell></table:table-row>")
                .arg(t);
    body += QStringLiteral("</table:table>");
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles><style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm"
  fo:page-height="29.7cm"/><style:header-style/></style:page-layout></office:automatic-styles>
 <office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">
  <style:header><text:p>合同编号：[&lt;指标0&gt;]</text:p></style:header></style:master-page></office:master-styles>
 <office:body><office:text>
%1 </office:text></office:body>
</office:document>
)")
        .arg(body)
        .toUtf8();
}

bool convert(const QString &format, const QStringList &files) {
    QProcess office;
    office.setProcessChannelMode(QProcess::MergedChannels);
    office.start(QStringLiteral("soffice"),
                 QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                             QStringLiteral("-env:UserInstallation=") +
                                 QUrl::fromLocalFile(gFolder + QStringLiteral("/profile")).toString(),
                             QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"), gFolder} +
                     files);
    return office.waitForFinished(300000) && office.exitCode() == 0;
}

bool writeValues(const QString &path, const Pairs &pairs) {
    // docxtemplater looks a tag up by the text between the delimiters.
    QJsonObject object;
    for (const auto &[marker, value] : pairs)
        object.insert(marker.mid(2, marker.size() - 4), value);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(object).toJson()) > 0;
}

QString path(const QString &name) {
    return gFolder + QLatin1Char('/') + name;
}

void fill(benchmark::State &state, const QString &templateName, const Pairs &pairs) {
    const QString source = path(templateName);
    const QString target = path(QStringLiteral("out-") + templateName);
    for (auto _ : state) { // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark library's loop
        const PackageTemplate::Result result = PackageTemplate::fill(source, target, pairs);
        if (!result.ok)
            state.SkipWithError(qPrintable(result.error));
        benchmark::DoNotOptimize(result.filled);
    }
}

void BM_FillLeaseDocx(benchmark::State &state) {
    fill(state, QStringLiteral("lease.docx"), gLease);
}
void BM_FillLeasePlainDocx(benchmark::State &state) {
    fill(state, QStringLiteral("leaseplain.docx"), gLeaseClauses);
}
void BM_FillLeaseClausesDocx(benchmark::State &state) {
    fill(state, QStringLiteral("leaseclauses.docx"), gLeaseClauses);
}
void BM_Fill80x3Docx(benchmark::State &state) {
    fill(state, QStringLiteral("large.docx"), gLarge);
}
void BM_Fill80x3Odt(benchmark::State &state) {
    fill(state, QStringLiteral("large.odt"), gLarge);
}
BENCHMARK(BM_FillLeaseDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillLeasePlainDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillLeaseClausesDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill80x3Docx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill80x3Odt)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    gFolder = qEnvironmentVariable("VANTREL_BENCH_FILES");
    if (gFolder.isEmpty())
        gFolder = temporary.path();
    QDir().mkpath(gFolder);

    QFile::remove(path(QStringLiteral("lease.fodt")));
    QFile large(path(QStringLiteral("large.fodt")));
    if (!QFile::copy(QStringLiteral(VANTREL_DEMO_TEMPLATE), path(QStringLiteral("lease.fodt"))) ||
        !large.open(QIODevice::WriteOnly) || large.write(largeSource()) <= 0) {
        std::fprintf(stderr, "cannot write the template sources into %s\n", qPrintable(gFolder));
        return 1;
    }
    large.close();
    QFile demo(path(QStringLiteral("lease.fodt")));
    if (!demo.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray demoText = demo.readAll();
    for (const auto &[name, clauses, sections] :
         {std::tuple{QStringLiteral("leaseplain"), 0, false}, std::tuple{QStringLiteral("leaseclauses"), 10, false},
          std::tuple{QStringLiteral("leasesections"), 10, true}}) {
        QFile variant(path(name + QStringLiteral(".fodt")));
        if (!variant.open(QIODevice::WriteOnly) || variant.write(leaseVariant(demoText, clauses, sections)) <= 0)
            return 1;
    }
    if (!convert(QStringLiteral("docx"),
                 {path(QStringLiteral("lease.fodt")), large.fileName(), path(QStringLiteral("leaseplain.fodt")),
                  path(QStringLiteral("leaseclauses.fodt")), path(QStringLiteral("leasesections.fodt"))}) ||
        !convert(QStringLiteral("odt"), {large.fileName()})) {
        std::fprintf(stderr, "the office could not convert the templates\n");
        return 1;
    }
    gLease = leasePairs();
    gLarge = largePairs();
    gLeaseClauses = gLease;
    gLeaseClauses.append({QStringLiteral("[<担保人>]"), QString()});
    writeValues(path(QStringLiteral("lease.json")), gLease);
    writeValues(path(QStringLiteral("leasesections.json")), gLeaseClauses);
    writeValues(path(QStringLiteral("large.json")), gLarge);

    // Every marker of the templates is filled, or the timing means nothing.
    for (const auto &[name, pairs, expected] :
         {std::tuple{QStringLiteral("lease.docx"), gLease, 19}, std::tuple{QStringLiteral("large.docx"), gLarge, 253},
          std::tuple{QStringLiteral("large.odt"), gLarge, 253},
          std::tuple{QStringLiteral("leaseplain.docx"), gLeaseClauses, 22},
          std::tuple{QStringLiteral("leaseclauses.docx"), gLeaseClauses, 22}}) {
        const PackageTemplate::Result result =
            PackageTemplate::fill(path(name), path(QStringLiteral("check-") + name), pairs);
        std::fprintf(stderr, "%s: %d markers filled\n", qPrintable(name), result.filled);
        if (!result.ok || result.filled != expected) {
            std::fprintf(stderr, "%s: expected %d (%s)\n", qPrintable(name), expected, qPrintable(result.error));
            return 1;
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
