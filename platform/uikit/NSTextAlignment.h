#pragma once

enum class NSTextAlignment : long { Left = 0, Center = 1, Right = 2 };
