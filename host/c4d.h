// c4d.h - the classic API as a plug-in sees it: every header of the binding layer.
#ifndef CORVEL_HOST_C4D_H
#define CORVEL_HOST_C4D_H

#include "c4d_basebitmap.h"
#include "c4d_basecontainer.h"
#include "c4d_basedata.h"
#include "c4d_basedocument.h"
#include "c4d_baselist.h"
#include "c4d_commanddata.h"
#include "c4d_file.h"
#include "c4d_general.h"
#include "c4d_gui.h"
#include "c4d_memory.h"
#include "c4d_plugin.h"
#include "c4d_resource.h"
#include "c4d_string.h"
#include "c4d_videopost.h"
#include "ge_prepass.h"
#include "gui.h"
#include "lib_description.h"
#include "maxon/apibase.h"
#include "maxon/string.h"
#include "operatingsystem.h"

#endif // CORVEL_HOST_C4D_H
