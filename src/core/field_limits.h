#pragma once

#include <QString>

// The longest text each stored field takes, in characters. The bounds sit well above anything a
// shop writes, so they never cut real data; they keep a pasted page or a doctored workbook from
// filling the database (and every backup of it) with megabytes in one cell.
enum class TextField {
    Plate,        // kh_cph and the plates the other tables repeat
    Owner,        // owner's name: a person or a company
    Telephone,    // one or several numbers with extensions
    Identity,     // identity card or company code, passport
    Model,        // car model
    Sex,          // "先生" or "女士"
    CallNote,     // what was said on a follow-up call, and the customer's reply
    Phrase,       // a stored phrase of either phrase list
    Item,         // a repair item's or a technician's name in the master lists
    LineText,     // an order line's description
    OperatorName  // a login name
};

// The field's limit in characters.
int FieldLimit(TextField field);
// The field's name as the shop reads it ("车主姓名").
QString FieldName(TextField field);
// Whether `text` fits the field.
bool FitsField(TextField field, const QString& text);
// "车主姓名超过 50 个字的上限（这里有 1000000 个字）。"
QString FieldTooLongText(TextField field, const QString& text);
