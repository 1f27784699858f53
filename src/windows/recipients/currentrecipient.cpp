#include "recipients/currentrecipient.h"

namespace jex {

CurrentRecipient &currentEmployee()
{
    static CurrentRecipient r;
    return r;
}

CurrentRecipient &currentSelfEmployed()
{
    static CurrentRecipient r;
    return r;
}

} // namespace jex
