#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Starting inputs for a reader of readers.h, made by the simulator's
// encoders the way servers, masters and this program write them: whole
// replies of realistic servers, masters' answers, a list file, a settings
// file and profiles. A fuzzer mutates them into the many wrong forms.
QList<QByteArray> FuzzSeeds(QByteArrayView reader);
