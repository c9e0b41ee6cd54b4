#pragma once

#include <QString>

namespace tetrapan {

class DialogPresenter;

// Help > About Tetrapan: the program's version, the versions of Qt and of the movie engine it runs on, its
// licence and its home page.
namespace aboutTetrapan {

// "Tetrapan 0.1"
QString title();
// The rest, one fact a line.
QString details();
void show(DialogPresenter& dialogs);

} // namespace aboutTetrapan
} // namespace tetrapan
