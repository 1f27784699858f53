#pragma once

#include <QString>

namespace jex {

// The recipient shown last in its window with a registry link: the section
// frames give a new row its codice fiscale and link. Kept for the program
// run; the employees and the self-employed each have their own.
struct CurrentRecipient
{
    QString codFis;
    qint64 afiId = 0;
    bool isSet() const { return afiId != 0; }
};

CurrentRecipient &currentEmployee();
CurrentRecipient &currentSelfEmployed();

} // namespace jex
