#include <QDir>
#include <QTest>

#include "readers.h"
#include "seeds.h"
#include "testutil.h"

// Every input a fuzz target ever failed on is kept under
// tests/data/fuzz/<reader>/ and read here on every run, with the sanitizers in
// their build; so are the seeds the fuzz runs start from.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void everyReaderHasItsTarget();
    void keptInputs_data();
    void keptInputs();
    void seeds_data();
    void seeds();
};

void TestFuzzRegressions::everyReaderHasItsTarget()
{
    QStringList names;
    for (const TFuzzReader& reader : FuzzReaders()) {
        names << QLatin1String(reader.Name);
    }
    QCOMPARE(names.join(u','), QStringLiteral(MORVIX_FUZZ_READER_NAMES));
    // Inputs are kept only for readers that exist.
    const QDir kept(QStringLiteral(MORVIX_TEST_DATA_DIR "/fuzz"));
    for (const QString& folder : kept.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QVERIFY2(names.contains(folder), qPrintable(folder));
    }
}

void TestFuzzRegressions::keptInputs_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("path");
    const QDir kept(QStringLiteral(MORVIX_TEST_DATA_DIR "/fuzz"));
    int rows = 0;
    for (const QString& folder : kept.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir inputs(kept.filePath(folder));
        for (const QString& file : inputs.entryList(QDir::Files)) {
            if (file != QLatin1String("README.md")) {
                QTest::newRow(qPrintable(folder + '/' + file)) << folder << inputs.filePath(file);
                ++rows;
            }
        }
    }
    if (rows == 0) {
        QTest::newRow("none kept") << QString() << QString();
    }
}

void TestFuzzRegressions::keptInputs()
{
    QFETCH(QString, reader);
    QFETCH(QString, path);
    if (reader.isEmpty()) {
        QSKIP("no input kept yet");
    }
    const TFuzzReader* found = FuzzReader(reader.toLatin1());
    QVERIFY(found);
    QVERIFY(found->Read(ReadFileBytes(path)));
}

void TestFuzzRegressions::seeds_data()
{
    QTest::addColumn<QString>("reader");
    for (const TFuzzReader& reader : FuzzReaders()) {
        QTest::newRow(reader.Name) << QString::fromLatin1(reader.Name);
    }
}

// The seeds are what the program itself and the simulator write: each reads
// as a whole, every prefix of it too.
void TestFuzzRegressions::seeds()
{
    QFETCH(QString, reader);
    const TFuzzReader* found = FuzzReader(reader.toLatin1());
    const QList<QByteArray> seeds = FuzzSeeds(reader.toLatin1());
    QVERIFY(seeds.size() >= 2);
    for (const QByteArray& seed : seeds) {
        QVERIFY(!seed.isEmpty());
        for (qsizetype n = seed.size(); n >= 0; n -= qMax<qsizetype>(1, seed.size() / 64)) {
            QVERIFY2(found->Read(seed.left(n)), qPrintable(QString::number(n)));
        }
    }
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
