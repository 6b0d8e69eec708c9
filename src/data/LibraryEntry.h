#pragma once

#include <QString>
#include <QtGlobal>

namespace tramelle {

// One exercise as held in memory: the library cache, program slots, protocol rows and
// the parameters dialog's scratch entry all use it.
struct LibraryEntry
{
    qint32 ExerciseID = 0;
    QString code;
    QString Desc;
    QString AbbrevDesc;
    QString Joint;
    QString Motion;
    QString Type;
    qint16 Reps = 0;
    qint16 Hold = 0;
    qint16 Sets = 0;
    QString Movie;
    QString Icon;
    QString Picture0;
    QString Picture1;
    QString Picture2;
    QString Instruct0;
    QString Instruct1;
    QString Instruct2;
    bool HasVideo = false;
    qint16 VideoReps = 0;
    qint16 VideoHold = 0;
    qint16 VideoSets = 0;
    // Which picture (1 to 3) the icon was made from; 0 when not known (stored programs).
    qint16 IconSrc = 0;

    bool operator==(const LibraryEntry&) const = default;
};

// A program slot: the same record, with Reps, Hold, Sets and the instructions set for
// the patient.
using ProgramEntry = LibraryEntry;

} // namespace tramelle
