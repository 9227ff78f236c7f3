// The emulated text display: every public operation of the display toolkit.
#pragma once

#include "display_types.h"
#include "fonts.h"
#include "frames.h"
#include "glyphs.h"
#include "host_hooks.h"
#include "jump_scroll.h"
#include "program_end.h"
#include "rendering.h"
#include "text_area.h"
#include "text_cursor.h"
#include "text_output.h"
#include "video_memory.h"
#include "window_init.h"
