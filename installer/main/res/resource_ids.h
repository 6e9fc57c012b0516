#pragma once

// Identifiers of the installer executable's own resources.
#define IDI_APPLICATION_ICON 107
#define IDR_RESOURCE_PACKAGE 133
