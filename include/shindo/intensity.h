// The whole shindo library in one include, as its users have always written
// it: the intensity of a record (compute.h), the running intensity
// (running.h), the intensity scale and its classes (scale.h) and the
// library's version (version.h). Include a single one of them to take less.
#pragma once

#include "shindo/compute.h"
#include "shindo/running.h"
#include "shindo/scale.h"
#include "shindo/version.h"
