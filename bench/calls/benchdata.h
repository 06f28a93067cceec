#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::bench {

// The number that the lookup benchmarks call: it matches stored numbers only
// after its last three digits were cut ("05211234%").
inline const QString CutThreeNumber = QStringLiteral("05211234999");

// Creates folder/vorsa.db with the shipped TTelefonNr (and its index) holding
// `rows` distinct generated numbers of eleven digits (one of them 05211234000,
// none beginning with 052112349), and folder/udlVorsa.UDL naming it. Returns
// some stored numbers for calls.
QStringList createNumberIndex(const QString& folder, int rows, int sampleSize = 1000);

// Copies folder/vorsa.db into target/vorsa.db without any index on
// TTelefonNr, with its own udlVorsa.UDL.
void copyWithoutIndex(const QString& folder, const QString& target);

QString connectionString(const QString& folder);

double median(QList<double> values);
double percentile(QList<double> values, double p);

} // namespace vorsa::bench
