x=1, y=1, z=1
sigma=10, r=28, b=2.66666666666667

c 0.01
local dx=sigma*(y-x)
local dy=x*(r-z)-y
local dz=x*y-b*z
x=dx
y=dy
z=dz

