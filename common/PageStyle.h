#pragma once

/** How a run lays out the index pages. Classic is the default, and what any unknown setting means. */
enum class PageStyle { Classic, Gallery };
