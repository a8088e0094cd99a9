#pragma once

#include <QStringList>

// The genre names offered by the genre box, in ascending character-code order.
QStringList GenreNames();
