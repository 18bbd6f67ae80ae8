#pragma once

#include <QIcon>

// Quorvel's icon in every size drawn for it (32, 48, 128 and 256 pixels).
QIcon QuorvelIcon();
