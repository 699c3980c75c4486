x=1, y=1, z=0
a=0.2, b=0.2, c=5.7

c 0.01
local dx=-y-z
local dy=x+a*y
local dz=b+z*(x-c)
x=dx
y=dy
z=dz

