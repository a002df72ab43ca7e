#include "platform/eventkit/EKSource.h"

std::string EKSource::description() const
{
    return "EKSource <" + m_sourceIdentifier + "> {title = " + m_title + ";}";
}
