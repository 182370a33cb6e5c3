#pragma once
#include "Fixtures.h" // one header holds all the shared fixtures
