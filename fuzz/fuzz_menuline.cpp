// Menu definition lines, "title,action,tag,key". Any line splits into its four fields so that joining them
// gives the line back up to its fourth comma, and only the title "-" makes a separator.
#include "FuzzCheck.h"

#include "panes/MenuLine.h"

#include <QStringList>

using namespace tetrapan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line = fuzz::text(data, size);
    const MenuLine parsed = MenuLine::parse(line);
    const QChar comma = QLatin1Char(',');
    for (const QString* field : {&parsed.title, &parsed.action, &parsed.tag})
        FUZZ_CHECK(!field->contains(comma));

    // the first four fields, a missing one read as empty; what follows a fourth comma is not part of the line
    QString expected = line.section(comma, 0, 3);
    expected += QString(qMax<qsizetype>(0, 3 - expected.count(comma)), comma);
    const QString joined = QStringList{parsed.title, parsed.action, parsed.tag, parsed.key}.join(comma);
    FUZZ_CHECK(joined == expected);
    FUZZ_CHECK(parsed.key == line.section(comma, 3, 3));
    FUZZ_CHECK(parsed.isSeparator() == (line.section(comma, 0, 0) == QLatin1String("-")));

    // a line made of the fields reads as the same fields
    const MenuLine again = MenuLine::parse(joined);
    FUZZ_CHECK(again.title == parsed.title && again.action == parsed.action && again.tag == parsed.tag &&
               again.key == parsed.key);
    return 0;
}
