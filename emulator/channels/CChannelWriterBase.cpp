#include "emulator/channels/CChannelWriterBase.h"

bool CChannelWriterBase::IsAlive()
{
    return !m_stopEvent.IsSet();
}
