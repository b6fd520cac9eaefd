#include "core/field_limits.h"

namespace {

struct FieldRule {
    int limit;
    const char16_t* name;
};

// Plates run to 8 characters (a new-energy plate) and a few more with a separator or a trailer
// mark; an 18-character identity or company code fits twice over; company names as owners reach
// about 30; three telephone numbers with extensions and separators stay under 50.
FieldRule Rule(TextField field) {
    switch (field) {
        case TextField::Plate:
            return {20, u"车牌号"};
        case TextField::Owner:
            return {60, u"车主姓名"};
        case TextField::Telephone:
            return {60, u"联系电话"};
        case TextField::Identity:
            return {40, u"身份证号"};
        case TextField::Model:
            return {60, u"车型"};
        case TextField::Sex:
            return {4, u"性别"};
        case TextField::CallNote:
            return {2000, u"通话内容"};
        case TextField::Phrase:
            return {500, u"常用语"};
        case TextField::Item:
            return {100, u"项目名称"};
        case TextField::LineText:
            return {200, u"项目说明"};
        case TextField::OperatorName:
            return {30, u"操作员"};
    }
    return {0, u""};
}

}  // namespace

int FieldLimit(TextField field) {
    return Rule(field).limit;
}

QString FieldName(TextField field) {
    return QString::fromUtf16(Rule(field).name);
}

bool FitsField(TextField field, const QString& text) {
    return text.size() <= FieldLimit(field);
}

QString FieldTooLongText(TextField field, const QString& text) {
    return QStringLiteral("“%1”超过 %2 个字的上限（这里有 %3 个字）。")
        .arg(FieldName(field))
        .arg(FieldLimit(field))
        .arg(text.size());
}
