// Stands for the library's internal state header.
#pragma once
